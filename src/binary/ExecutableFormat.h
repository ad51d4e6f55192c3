// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

// Recognises programs by their first bytes, so that nothing that cannot run on this platform is
// installed as the server.
namespace ExecutableFormat {

// 7F 45 4C 46.
bool isElf(QByteArrayView head);
// The 64-bit (CF FA ED FE, at least 5 bytes) or 32-bit (CE FA ED FE) little-endian magic number;
// universal files are not accepted.
bool isMachO(QByteArrayView head);

// The check, name and release asset of the platform this build runs on.
bool isNative(QByteArrayView head);
QString nativeName();
QString platformName();
QString releaseAssetName();

} // namespace ExecutableFormat
