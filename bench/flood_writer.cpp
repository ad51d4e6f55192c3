// SPDX-License-Identifier: MIT
// Writes FLOOD_BYTES (default 200 MB) of short log lines to standard output as fast as it can.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main()
{
    const char *limit = std::getenv("FLOOD_BYTES");
    const long long total = limit ? std::atoll(limit) : 200LL * 1000 * 1000;
    static char buffer[1 << 16];
    long long written = 0;
    long long line = 0;
    while (written < total) {
        size_t used = 0;
        while (used + 64 < sizeof buffer && written + static_cast<long long>(used) < total)
            used += static_cast<size_t>(std::snprintf(buffer + used, 64, "request %lld handled in 3 ms\n", line++));
        size_t offset = 0;
        while (offset < used) {
            const ssize_t n = write(1, buffer + offset, used - offset);
            if (n <= 0)
                return 1;
            offset += static_cast<size_t>(n);
        }
        written += static_cast<long long>(used);
    }
    return 0;
}
