// SPDX-License-Identifier: MIT
#pragma once

// Distances in points shared by the screens.
namespace Metrics {

// The platform's default padding around a row or a text.
inline constexpr int standardInset = 12;

} // namespace Metrics
