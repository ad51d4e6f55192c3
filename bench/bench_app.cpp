// SPDX-License-Identifier: MIT
// The application as the composition root builds it, with one scenario measured inside it (see
// AppScenarios.h). Run by halvex-bench in a home of its own.
#include "AppScenarios.h"
#include "app/ApplicationShell.h"
#include "instances/InstanceManager.h"

#include <QApplication>

#include <cstdio>

namespace {

int run(ApplicationShell &shell, const QStringList &arguments)
{
    const QString scenario = arguments.value(0);
    if (scenario == QStringLiteral("launch") && arguments.size() == 3)
        return AppScenarios::launch(shell, arguments.at(1) == QStringLiteral("application"), arguments.at(2).toInt());
    if (scenario == QStringLiteral("import") && arguments.size() == 5)
        return AppScenarios::import(shell, arguments.at(1), arguments.at(2), arguments.at(3), arguments.at(4));
    if (scenario == QStringLiteral("selection") && arguments.size() == 3)
        return AppScenarios::selection(shell, arguments.at(1).toInt(), arguments.at(2).toInt());
    if (scenario == QStringLiteral("actions") && arguments.size() == 3)
        return AppScenarios::actions(shell, arguments.at(1).toInt(), arguments.at(2).toInt());
    if (scenario == QStringLiteral("flood") && arguments.size() == 2)
        return AppScenarios::flood(shell, arguments.at(1).toLongLong());
    std::fprintf(stderr, "usage: bench_app launch application|qprocess PAIRS | import FILE LAST-DIRECTORY "
                         "REGISTRY SCRATCH | selection ROW CHANGES | actions ROW CYCLES | flood BYTES\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ApplicationShell shell;
    const int result = run(shell, QApplication::arguments().mid(1));
    // Servers outlive the application by design; none of a scenario's may outlive its home, even
    // when the scenario failed half-way.
    shell.instances()->stopAllInstances();
    return result;
}
