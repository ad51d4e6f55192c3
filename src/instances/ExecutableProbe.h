// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// What the launch finds out about an executable before it runs it.
namespace ExecutableProbe {

// Starts loading the file tool's database, and describing the executable at path (if any), on
// threads of their own: a large executable takes milliseconds to describe, which the first
// launch's check would otherwise spend waiting. The check then waits only for what is left. Safe on
// any thread, as is everything here.
void prepare(const QString &path);

// The file tool's brief description of the file (what file -b prints), trimmed; nothing when the
// magic database is missing, the file cannot be read or the description is not UTF-8.
std::optional<QString> fileDescription(const QString &path);

// What the file at path is when it is not a regular file ("a named pipe", "a directory"); nothing
// for a regular file or one that is not there. Only a regular file may be probed further.
std::optional<QString> notRegularFile(const QString &path);

// The architectures the executable's own header names, separated by spaces ("x86_64",
// "x86_64 arm64"); empty for anything that is not an ELF or Mach-O executable (a script).
QString architectures(const QString &path);

// Its POSIX permission bits as plain octal digits (644), or nothing when they cannot be read.
std::optional<QString> permissions(const QString &path);

bool isExecutable(const QString &path);

} // namespace ExecutableProbe
