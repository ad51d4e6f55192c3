// SPDX-License-Identifier: MIT
#pragma once

// The priority of threads whose work can wait for the window's.
namespace ThreadPriority {

// Lowers the calling thread below the GUI thread (a nice value of 10): when the window has
// something to do, it gets a core at once instead of waiting for this thread's turn to end. The
// thread still has every core the window leaves idle.
void yieldToWindow();

} // namespace ThreadPriority
