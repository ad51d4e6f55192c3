// SPDX-License-Identifier: MIT
#include "PayloadFormat.h"

PayloadFormat detectPayloadFormat(QByteArrayView head)
{
    if (head.size() >= 5 && head.startsWith("PK") && (head[2] == 0x03 || head[2] == 0x05 || head[2] == 0x07))
        return PayloadFormat::Zip;
    if (head.size() >= 3 && head.startsWith("\x1F\x8B"))
        return PayloadFormat::Gzip;
    return PayloadFormat::Bare;
}
