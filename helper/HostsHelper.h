// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The privileged helper's work: "add|remove NAME…", repeated ("remove a b add c"), applied in
// order to the hosts file in one edit. Every name must be an instance name; one that is not
// refuses the whole command before anything is changed.
namespace HostsHelper {

// Returns the exit status: 0 done, 1 the file could not be changed, 2 the arguments were refused.
// Says why on standard error.
int run(const QStringList &arguments, const QString &hostsFile);

} // namespace HostsHelper
