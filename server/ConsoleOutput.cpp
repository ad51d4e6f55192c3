// SPDX-License-Identifier: MIT
#include "ConsoleOutput.h"

#include <cstdio>

void ConsoleOutput::line(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

void ConsoleOutput::error(const QString &text)
{
    std::fprintf(stderr, "halvex: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}
