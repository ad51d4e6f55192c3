// SPDX-License-Identifier: MIT
// A server that ignores the polite request to stop.
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main()
{
    std::signal(SIGTERM, SIG_IGN);
    std::printf("ignoring SIGTERM\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
