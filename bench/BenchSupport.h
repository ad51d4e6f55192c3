// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

// Small helpers shared by the benchmark figures.
namespace Bench {

inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

inline double percentile(QList<double> values, double fraction)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<qsizetype>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values.at(std::min(index, values.size() - 1));
}

// Resident set size of a process in MiB, from /proc (0 when it cannot be read).
double residentMiB(qint64 pid = 0);

// One row of the result table.
struct Row
{
    QString figure;
    QString measured;
    QString baseline;
    double ratio = 0;
    QString goal;
    bool met = false;
};

void printRow(const Row &row);
void printHeader();

} // namespace Bench
