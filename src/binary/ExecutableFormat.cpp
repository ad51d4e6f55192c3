// SPDX-License-Identifier: MIT
#include "ExecutableFormat.h"

#include <QtGlobal>

namespace ExecutableFormat {

#ifdef Q_OS_MACOS
QString nativeName()
{
    return QStringLiteral("Mach-O");
}
QString platformName()
{
    return QStringLiteral("macOS");
}
QString releaseAssetName()
{
    return QStringLiteral("halvex-darwin-amd64");
}
#else
QString nativeName()
{
    return QStringLiteral("ELF");
}
QString platformName()
{
    return QStringLiteral("Linux");
}
QString releaseAssetName()
{
    return QStringLiteral("halvex-linux-amd64");
}
#endif

} // namespace ExecutableFormat
