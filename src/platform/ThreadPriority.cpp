// SPDX-License-Identifier: MIT
#include "ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace ThreadPriority {

void yieldToWindow()
{
    // On Linux the nice value belongs to the thread, named by its id. Lowering it needs no rights;
    // were it refused, the thread would only keep the window's priority.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
}

} // namespace ThreadPriority
