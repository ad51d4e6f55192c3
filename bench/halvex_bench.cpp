// SPDX-License-Identifier: MIT
// Measures the application's performance figures against their baselines in the same run and
// prints one table. The machines are shared and noisy, so every figure is a median or a ratio.
#include "Figures.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const QStringList only = QApplication::arguments().mid(1);
    const QList<std::pair<QString, void (*)()>> figures{
        {QStringLiteral("launch"), Figures::launchBlock},  {QStringLiteral("ready"), Figures::startToReady},
        {QStringLiteral("flood"), Figures::logFlood},      {QStringLiteral("write"), Figures::registryWrite},
        {QStringLiteral("load"), Figures::registryLoad},   {QStringLiteral("logmemory"), Figures::logViewMemory},
        {QStringLiteral("coldstart"), Figures::coldStart}, {QStringLiteral("idle"), Figures::idleMemory},
    };
    Bench::printHeader();
    for (const auto &[name, figure] : figures) {
        if (only.isEmpty() || only.contains(name))
            figure();
    }
    return 0;
}
