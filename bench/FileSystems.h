// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// Where the benchmark keeps its files: on the file system of the application's real state
// directory (the registry's speed is that of its disk), and on a tmpfs, where a write costs only
// its CPU time.
namespace FileSystems {

struct Place
{
    QString directory;   // scratch directories go here
    QString description; // e.g. "ext4 (/dev/vda) in /tmp, the file system of ~/.local/share/HalvexKelvane"
};

// A directory on the file system of $XDG_DATA_HOME/HalvexKelvane; the temporary directory when it
// lies on the same one, so that nothing is written into the user's own data.
Place stateDirectory();
// The first tmpfs among /dev/shm, $XDG_RUNTIME_DIR and /tmp that this user can write to.
std::optional<Place> tmpfs();

} // namespace FileSystems
