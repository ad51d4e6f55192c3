// SPDX-License-Identifier: MIT
#include "RunStateText.h"

#include "SystemColors.h"
#include "instances/LogTimeStamp.h"

#include <QLocale>

using RunState = InstanceManager::RunState;

namespace RunStateText {

RunState shownState(const InstanceManager &manager, const HalvexInstance &record)
{
    const RunState state = manager.runState(record.id);
    return state == RunState::Stopped && record.isRunning ? RunState::Running : state;
}

QString name(RunState state)
{
    switch (state) {
    case RunState::Starting:
        return QStringLiteral("Starting…");
    case RunState::Running:
        return QStringLiteral("Running");
    case RunState::Stopping:
        return QStringLiteral("Stopping…");
    case RunState::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

QColor color(RunState state)
{
    return state == RunState::Running ? SystemColors::green() : SystemColors::orange();
}

QString lastRun(const InstanceManager::LastRun &run)
{
    QString how;
    if (run.duringStartup)
        how = QStringLiteral("ended during start-up with ") + run.exit.describe();
    else if (run.exit.kind == ServerExit::Kind::Code)
        how = QStringLiteral("exited with ") + run.exit.describe();
    else if (run.exit.kind == ServerExit::Kind::Signal)
        how = QStringLiteral("ended by ") + run.exit.describe();
    else
        how = QStringLiteral("ended with ") + run.exit.describe();

    const QLocale locale;
    const QDateTime ended = run.endedAt.toLocalTime();
    QString when = locale.toString(ended.time(), mediumTimeFormat(locale));
    if (ended.date() != QDate::currentDate())
        when = locale.toString(ended.date(), QLocale::ShortFormat) + u' ' + when;
    return how + QStringLiteral(" at ") + when;
}

} // namespace RunStateText
