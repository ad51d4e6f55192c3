// SPDX-License-Identifier: MIT
#pragma once

#include "instances/InstanceManager.h"

#include <QColor>
#include <QString>

// How the views name a server's run state and its last end, and the colour that marks the state.
namespace RunStateText {

// The state to show for the record: the server's, or Running for a record marked running that has
// no server of this session.
InstanceManager::RunState shownState(const InstanceManager &manager, const HalvexInstance &record);
// "Starting…", "Running", "Stopping…" or "Stopped".
QString name(InstanceManager::RunState state);
// Green while running; orange while starting or stopping.
QColor color(InstanceManager::RunState state);
// "exited with exit code 1 at 14:03:22", "ended by signal 9 (SIGKILL) at 14:03:22", "ended during
// start-up with exit code 1 at 14:03:22", or for a server of an earlier session "ended with an
// unknown status at 14:03:22"; the date comes first when it was not today.
QString lastRun(const InstanceManager::LastRun &run);

} // namespace RunStateText
