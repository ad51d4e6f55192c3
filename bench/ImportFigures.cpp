// SPDX-License-Identifier: MIT
#include "Child.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Fixture.h"
#include "Sandbox.h"

#include "backup/ImportExportManager.h"

#include <QDir>

namespace {

constexpr int importCount = 1000;

// An export file of importCount instances whose data directories go to storage, written by the
// application's own export.
void writeExport(const QString &base, const QString &storage, const QString &file)
{
    QList<HalvexInstance> records = Sandbox::records(importCount);
    for (int i = 0; i < importCount; ++i) {
        records[i].name = QStringLiteral("imported-%1").arg(i);
        records[i].port = 20000 + i;
    }
    const Fixture source(base, Sandbox::registry(records));
    source.settings()->setDataStorageLocation(QUrl::fromLocalFile(storage));
    auto manager = source.manager();
    ImportExportManager exporter(source.settings(), manager.get(), nullptr);
    exporter.exportTo(file);
}

} // namespace

namespace Figures {

void import()
{
    const QString base = FileSystems::stateDirectory().directory;
    const QTemporaryDir root(base + QStringLiteral("/halvex-bench-XXXXXX"));
    const QString storage = root.filePath(QStringLiteral("data"));
    const QString file = root.filePath(QStringLiteral("export.json"));
    writeExport(base, storage, file);

    QList<double> block;
    QList<double> total;
    QList<double> write;
    QList<double> baseline;
    for (int run = 0; run < 5; ++run) {
        // Every run makes its directories anew.
        QDir(storage).removeRecursively();
        const Sandbox sandbox(base, QByteArray());
        const Child child = Child::run(
            QStringLiteral(BENCH_APP_PATH),
            {QStringLiteral("import"), file, storage + QStringLiteral("/imported-%1").arg(importCount - 1),
             sandbox.stateDirectory() + QStringLiteral("/instances.json"), sandbox.path(QStringLiteral("scratch"))},
            sandbox.environment());
        if (!child.ok || child[QStringLiteral("imported")] != QList<double>{importCount}) {
            Table::printFailure(QStringLiteral("import of %1 instances").arg(importCount),
                                child.ok ? QStringLiteral("not every instance was imported") : child.error);
            return;
        }
        block += child[QStringLiteral("block")];
        total += child[QStringLiteral("total")];
        write += child[QStringLiteral("write")];
        baseline += child[QStringLiteral("baseline")];
    }
    const QList<double> blockRatios = ratios(block, write);
    Table::printRow({QStringLiteral("import of %1 instances: longest event-loop block").arg(importCount),
                     QStringLiteral("ms"), block, QString(), write,
                     QStringLiteral("one QSaveFile write of the registry"), blockRatios,
                     QStringLiteral("≤ 16 ms + 1 registry write"), median(block) <= 16 + median(write)});
    const QList<double> totalRatios = ratios(total, baseline);
    Table::printRow({QStringLiteral("import of %1 instances: until every data directory exists").arg(importCount),
                     QStringLiteral("ms"), total, QString(), baseline,
                     QStringLiteral("one QSaveFile write of the registry + %1 mkdir").arg(importCount), totalRatios,
                     QStringLiteral("≤ 5×"), median(totalRatios) <= 5});
}

} // namespace Figures
