// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include <functional>

// Small helpers shared by the benchmark and the programs it runs.
namespace Bench {

// The middle, the smallest and the largest of repeated measurements.
struct Spread
{
    double median = 0;
    double min = 0;
    double max = 0;
    qsizetype runs = 0;
};
Spread spread(const QList<double> &values);
double percentile(QList<double> values, double fraction);

// CPU time of the calling thread in milliseconds, user and system: what the GUI thread itself
// spends, whatever else the shared machine runs meanwhile.
double threadCpuMilliseconds();
// Heap in use in MiB: memory freed earlier stays resident and would hide what a view takes.
double heapMiB();
// Resident set size of a process in MiB, from /proc (0 when it cannot be read).
double residentMiB(qint64 pid = 0);

// Runs what the event loop has to do now (posted events, due timers, paints) without waiting.
void settle();
// Turns the event loop, sleeping between turns, until condition holds; false after the time-out.
bool waitUntil(const std::function<bool()> &condition, int timeoutMilliseconds = 10000);

// A measurement of a program the benchmark runs, on standard output as "bench: <key> <value>".
void report(const char *key, double value);
// A socket connected to the port on 127.0.0.1, for the caller to close; -1 when none listens.
int connectToLoopback(quint16 port);

// While it lives, what this process writes to standard output goes nowhere: a manager measured in
// the benchmark's own process prints the application's console log there, in the middle of the
// table.
class QuietStandardOutput
{
public:
    QuietStandardOutput();
    ~QuietStandardOutput();
    QuietStandardOutput(const QuietStandardOutput &) = delete;
    QuietStandardOutput &operator=(const QuietStandardOutput &) = delete;

private:
    int m_saved;
};

} // namespace Bench
