// SPDX-License-Identifier: MIT
// Writes lines as fast as it can: FLOOD_LINES of them (default 100000), then exits.
#include <cstdio>
#include <cstdlib>

int main()
{
    const char *count = std::getenv("FLOOD_LINES");
    const long lines = count ? std::atol(count) : 100000;
    for (long i = 0; i < lines; ++i)
        std::printf("line %ld of a server that talks a lot\n", i);
    return 0;
}
