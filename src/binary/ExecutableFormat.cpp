// SPDX-License-Identifier: MIT
#include "ExecutableFormat.h"

#include <QtGlobal>

namespace ExecutableFormat {

bool isElf(QByteArrayView head)
{
    return head.startsWith("\x7F"
                           "ELF");
}

bool isMachO(QByteArrayView head)
{
    return (head.size() >= 5 && head.startsWith("\xCF\xFA\xED\xFE")) || head.startsWith("\xCE\xFA\xED\xFE");
}

#ifdef Q_OS_MACOS
bool isNative(QByteArrayView head)
{
    return isMachO(head);
}
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
bool isNative(QByteArrayView head)
{
    return isElf(head);
}
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
