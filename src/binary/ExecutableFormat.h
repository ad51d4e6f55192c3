// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The executable format of the platform this build runs on, as messages and the release server
// name it. Whether a file is in that format and for this machine, ExecutableHeader tells.
namespace ExecutableFormat {

QString nativeName();
QString platformName();
QString releaseAssetName();

} // namespace ExecutableFormat
