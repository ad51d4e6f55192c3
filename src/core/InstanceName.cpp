// SPDX-License-Identifier: MIT
#include "InstanceName.h"

namespace InstanceName {

bool isValid(const QString &name)
{
    if (name.isEmpty() || name.size() > 63)
        return false;
    if (name.front() == u'-' || name.back() == u'-')
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool allowed =
            (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-';
        if (!allowed)
            return false;
    }
    return true;
}

QString requirement()
{
    return QStringLiteral("Instance names may contain only letters, digits and hyphens (at most 63 characters), "
                          "and may not start or end with a hyphen");
}

} // namespace InstanceName
