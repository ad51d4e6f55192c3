// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// An instance name becomes a host label (<name>.halvex.local), a path component of its data
// directory and part of a privileged shell command. Only names that are safe in all three are
// ever acted on: 1 to 63 ASCII letters, digits and '-', neither starting nor ending with '-'.
namespace InstanceName {

bool isValid(const QString &name);

// The sentence shown to a person when a name is refused.
QString requirement();

} // namespace InstanceName
