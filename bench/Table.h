// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include <cstdio>

// The printed result: a header that says when, where and under what load the figures were taken,
// one row per figure with the spread of its runs, and the load once more at the end.
namespace Table {

struct Row
{
    QString figure;
    QString unit; // of measured and baseline
    QList<double> measured;
    // Said after the measured spread, e.g. the wall time beside a CPU time.
    QString measuredNote;
    QList<double> baseline; // empty when the goal is an absolute bound
    QString baselineName;
    QList<double> ratios; // one per run, measured over its own baseline
    QString goal;
    bool met = false;
};

// Where the table goes; standard output unless set.
void setOutput(std::FILE *stream);
// "1.23 ms (1.10–1.40)": the median and the range of the runs.
QString spread(const QList<double> &values, const QString &unit);

void printHeader(const QStringList &notes);
void printRow(const Row &row);
// A figure that could not be taken: what went wrong instead of its numbers.
void printFailure(const QString &figure, const QString &reason);
// The load once more, and how long the figures took.
void printFooter(qint64 milliseconds);

} // namespace Table
