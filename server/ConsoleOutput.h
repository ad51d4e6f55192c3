// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The server's lines on standard output and standard error. The application reads both through a pipe and
// shows them live, so every line is flushed as soon as it is complete. Lines come from several threads; each is
// written with one stdio call, which keeps it whole.
class ConsoleOutput
{
public:
    static void line(const QString &text);
    static void error(const QString &text);
};
