// SPDX-License-Identifier: MIT
// A server that ends at once: with the code in EXIT_CODE, or by the signal in EXIT_SIGNAL.
#include <csignal>
#include <cstdio>
#include <cstdlib>

int main()
{
    std::printf("ending at once\n");
    std::fflush(stdout);
    if (const char *signal = std::getenv("EXIT_SIGNAL"))
        std::raise(std::atoi(signal));
    const char *code = std::getenv("EXIT_CODE");
    return code ? std::atoi(code) : 0;
}
