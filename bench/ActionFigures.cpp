// SPDX-License-Identifier: MIT
#include "Child.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Sandbox.h"

namespace {

constexpr int actionCount = 10000;

} // namespace

namespace Figures {

void actions()
{
    QList<HalvexInstance> records = Sandbox::records(actionCount);
    const int row = actionCount / 2;
    records[row].port = freePort();
    const Sandbox sandbox(FileSystems::stateDirectory().directory, Sandbox::registry(records));
    const Child child =
        Child::run(QStringLiteral(BENCH_APP_PATH),
                   {QStringLiteral("actions"), QString::number(row), QStringLiteral("7")}, sandbox.environment());
    if (!child.ok) {
        Table::printFailure(QStringLiteral("start, stop and edit"), child.error);
        return;
    }
    const QList<std::pair<QString, QString>> actions{
        {QStringLiteral("start"), QStringLiteral("start (Start clicked in the detail view)")},
        {QStringLiteral("stop"), QStringLiteral("stop (Stop clicked in the detail view)")},
        {QStringLiteral("edit"), QStringLiteral("edit of one record (saves the registry)")},
    };
    for (const auto &[key, name] : actions) {
        const QList<double> cpu = child[key + QStringLiteral("-cpu")];
        const QList<double> wall = child[key + QStringLiteral("-wall")];
        Table::printRow({QStringLiteral("%1 instances: %2, until painted (GUI-thread CPU)").arg(actionCount).arg(name),
                         QStringLiteral("ms"),
                         cpu,
                         QStringLiteral("wall %1").arg(Table::spread(wall, QStringLiteral("ms"))),
                         {},
                         QString(),
                         {},
                         QStringLiteral("≤ 2 ms"),
                         median(cpu) <= 2});
    }
}

} // namespace Figures
