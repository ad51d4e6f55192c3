// SPDX-License-Identifier: MIT
// Measures the application's performance figures against their baselines and prints one table:
// each figure over repeated runs, with the spread of the runs and whether its goal is met. The
// machines are shared and noisy, so the header says when, where and under what load.
#include "Figures.h"
#include "FileSystems.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // The code under measurement prints lines of its own on standard output; they go to standard
    // error, so that standard output holds the table exactly as printed.
    std::FILE *table = ::fdopen(::dup(STDOUT_FILENO), "w");
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    Table::setOutput(table ? table : stderr);
    const QList<std::pair<QString, void (*)()>> figures{
        {QStringLiteral("launch"), Figures::launchBlock},   {QStringLiteral("ready"), Figures::startToReady},
        {QStringLiteral("write"), Figures::registryWrites}, {QStringLiteral("import"), Figures::import},
        {QStringLiteral("sidebar"), Figures::sidebar},      {QStringLiteral("select"), Figures::selection},
        {QStringLiteral("actions"), Figures::actions},      {QStringLiteral("coldstart"), Figures::coldStart},
        {QStringLiteral("idle"), Figures::idleMemory},      {QStringLiteral("flood"), Figures::logFlood},
    };
    QStringList names;
    for (const auto &figure : figures)
        names.append(figure.first);
    QStringList only;
    for (int i = 1; i < argc; ++i) {
        only.append(QString::fromLocal8Bit(argv[i]));
        if (!names.contains(only.last())) {
            std::fprintf(stderr, "usage: halvex-bench [%s]...\n", qPrintable(names.join(u'|')));
            return 2;
        }
    }

    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QStringList notes{QStringLiteral("files on disk: ") + FileSystems::stateDirectory().description};
    if (const auto tmpfs = FileSystems::tmpfs())
        notes.append(QStringLiteral("files on tmpfs: ") + tmpfs->description);
    Table::printHeader(notes);
    QElapsedTimer elapsed;
    elapsed.start();
    for (const auto &[name, figure] : figures) {
        if (only.isEmpty() || only.contains(name))
            figure();
    }
    Table::printFooter(elapsed.elapsed());
    return 0;
}
