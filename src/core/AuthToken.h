// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Tokens that the instance form proposes for a new or changed instance.
namespace AuthToken {

// 32 characters drawn from the system's random source.
QString generate();

} // namespace AuthToken
