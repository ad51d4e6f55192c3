// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The two repairs that make a downloaded or chosen executable runnable, shared by the selection
// and the installer. Both keep no state, may run on any thread and block until done.
namespace ExecutableRepair {

// Removes the download quarantine mark; a file without one is left as it is.
void removeQuarantine(const QString &path);
// Runs /bin/chmod +x; true when it ran and exited with 0.
bool makeExecutable(const QString &path);

} // namespace ExecutableRepair
