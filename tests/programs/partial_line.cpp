// SPDX-License-Identifier: MIT
// Writes one line of 200 000 characters, then a prompt without a line end, and waits. Asked to
// stop, it says goodbye without a line end and exits.
#include <csignal>
#include <string>
#include <unistd.h>

namespace {

void writeAll(const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(1, data, size);
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void sayGoodbye(int)
{
    writeAll("bye", 3);
    _exit(0);
}

} // namespace

int main()
{
    std::signal(SIGTERM, sayGoodbye);
    const std::string line = std::string(200000, 'x') + '\n';
    writeAll(line.data(), line.size());
    writeAll("waiting", 7);
    for (;;)
        pause();
}
