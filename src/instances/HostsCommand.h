// SPDX-License-Identifier: MIT
#pragma once

#include "instances/HostsEntries.h"
#include "platform/PrivilegedCommandRunner.h"

// The one privileged command that applies a run of host-name changes, in order: as the arguments
// of the helper ("remove a b add c") and as the shell command that does the same to hostsFile.
// Every name must have passed InstanceName::isValid before it gets here.
namespace HostsCommand {

PrivilegedCommandRunner::Command forChanges(const QString &hostsFile, const QList<HostsEntries::Change> &changes);

} // namespace HostsCommand
