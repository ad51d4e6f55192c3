// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QUrl>

// The data storage location holds one data directory per instance; they are created there,
// handed to the servers and removed again. Only a folder of this machine will do: a file URL
// without a host, with an absolute path other than the root folder.
namespace StorageLocation {

bool isValid(const QUrl &location);

// The sentence shown to a person when a location is refused.
QString requirement();

} // namespace StorageLocation
