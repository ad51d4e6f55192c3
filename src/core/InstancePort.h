// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The port an instance's server listens on. A record with any other value can never start, so
// the form, the import and the registry all refuse one.
namespace InstancePort {

inline constexpr qint64 lowest = 1;
inline constexpr qint64 highest = 65535;

constexpr bool isValid(qint64 port)
{
    return port >= lowest && port <= highest;
}

} // namespace InstancePort
