// SPDX-License-Identifier: MIT
#include "StorageLocation.h"

#include <QDir>

namespace StorageLocation {

bool isValid(const QUrl &location)
{
    // A host makes it a share of another machine (file://host/share reads as //host/share).
    if (!location.isValid() || !location.isLocalFile() || !location.host().isEmpty())
        return false;
    const QString path = location.toLocalFile();
    return QDir::isAbsolutePath(path) && QDir::cleanPath(path) != u"/";
}

QString requirement()
{
    return QStringLiteral("The data storage location must be a folder of this machine other than the root folder /");
}

} // namespace StorageLocation
