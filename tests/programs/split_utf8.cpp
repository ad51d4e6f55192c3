// SPDX-License-Identifier: MIT
// Writes "café" with the two bytes of the é in separate writes, then bytes that are no UTF-8.
#include <unistd.h>

int main()
{
    const char first[] = "caf\xC3";
    const char second[] = "\xA9 done\n";
    const char invalid[] = "\xFF\xFE\n";
    (void)!write(1, first, sizeof first - 1);
    usleep(100000); // make the split reach the reader as two chunks most of the time
    (void)!write(1, second, sizeof second - 1);
    usleep(100000);
    (void)!write(1, invalid, sizeof invalid - 1);
    return 0;
}
