// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

// What the release server delivered, told by the first bytes.
enum class PayloadFormat { Zip, Gzip, Bare };

// ZIP: "PK" then 03, 05 or 07, at least 5 bytes; gzip: 1F 8B, at least 3 bytes; ZIP is tested
// first, and anything else is taken as the bare executable.
PayloadFormat detectPayloadFormat(QByteArrayView head);
