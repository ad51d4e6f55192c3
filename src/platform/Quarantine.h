// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The download quarantine mark, kept as the extended attribute user.com.apple.quarantine where
// a file system carries it (files copied from a Mac keep it). A file system without extended
// attributes has no quarantine.
namespace Quarantine {

bool isMarked(const QString &path);
// Removes the mark; true when the file no longer carries it.
bool remove(const QString &path);

} // namespace Quarantine
