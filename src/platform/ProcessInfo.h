// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// What /proc tells about a process: enough to recognise a server that an earlier run of the
// application started, although its PID may since have been given to another program, and to
// show how a running server is doing.
namespace ProcessInfo {

// Field 22 of /proc/<pid>/stat, the start time in clock ticks after boot; nothing when there is no
// such process.
std::optional<quint64> startTime(qint64 pid);
// The program the process runs (/proc/<pid>/exe), without the " (deleted)" mark that a program
// replaced on disk while it runs gets; empty when it cannot be read.
QString executable(qint64 pid);
// Its short name (/proc/<pid>/comm).
QString name(qint64 pid);
// Its resident memory in bytes.
std::optional<qint64> residentBytes(qint64 pid);

} // namespace ProcessInfo
