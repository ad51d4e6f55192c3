// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class ApplicationShell;
class InstanceListView;
class QAbstractItemView;

// What a user does in the running application, each measured against its baseline in the same
// process. bench_app runs one per process, in a home of its own that the benchmark prepared, and
// reports the measurements (Bench::report).
namespace AppScenarios {

// The longest GUI-thread block of a launch (the CPU time of startInstance(), or of the turn that
// takes its outcome, whichever is longer) against QProcess::start() of the same server with the
// same environment: the first launch of this session alone ("first"), then pairs ("application",
// "qprocess"). With applicationFirst false, QProcess::start() is the session's first launch.
int launch(ApplicationShell &shell, bool applicationFirst, int pairs);
// Imports the export file: the longest the event loop was blocked ("block") and the time until
// its last data directory exists ("total"); then one write of the resulting registry's bytes and
// as many mkdir calls in scratch ("baseline").
int import(ApplicationShell &shell, const QString &file, const QString &lastDirectory, const QString &registryFile,
           const QString &scratch);
// Down in the sidebar from row, changes times, against a plain list with a form of labels.
int selection(ApplicationShell &shell, int row, int changes);
// Start, stop and edit of the instance in row, clicked in its detail view: GUI-thread CPU and wall
// time until the window is painted again.
int actions(ApplicationShell &shell, int row, int cycles);

// Starts the instance in row 0, whose server is the flood writer, with its log shown: throughput
// until its whole output has reached the log ("throughput", MB/s), the lateness of a 5 ms timer
// meanwhile ("p99", "max") and the growth of resident memory ("growth", MB).
int flood(ApplicationShell &shell, qint64 bytes);

// The main window shown, with the stored settings applied.
void openWindow(ApplicationShell &shell);
InstanceListView *sidebar(ApplicationShell &shell);
// Makes row the current and selected one, in view.
void select(QAbstractItemView *list, int row);
// The Down key, as the keyboard sends it.
void pressDown(QAbstractItemView *list);

} // namespace AppScenarios
