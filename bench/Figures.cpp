// SPDX-License-Identifier: MIT
#include "Figures.h"

#include "BenchSupport.h"

#include <QTcpServer>

namespace Figures {

QList<double> ratios(const QList<double> &measured, const QList<double> &baseline)
{
    QList<double> result;
    for (qsizetype i = 0; i < std::min(measured.size(), baseline.size()); ++i) {
        if (baseline.at(i) > 0)
            result.append(measured.at(i) / baseline.at(i));
    }
    return result;
}

double median(const QList<double> &values)
{
    return Bench::spread(values).median;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace Figures
