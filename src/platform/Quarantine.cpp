// SPDX-License-Identifier: MIT
#include "Quarantine.h"

#include <QFile>

#include <cerrno>
#include <sys/xattr.h>

namespace {
constexpr char attribute[] = "user.com.apple.quarantine";
}

namespace Quarantine {

bool isMarked(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::getxattr(native.constData(), attribute, nullptr, 0) >= 0;
}

bool remove(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::removexattr(native.constData(), attribute) == 0 || errno == ENODATA || errno == ENOTSUP;
}

} // namespace Quarantine
