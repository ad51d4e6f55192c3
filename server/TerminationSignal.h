// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <csignal>

// SIGTERM and SIGINT, the requests to stop. Made before any thread starts, it blocks both, so every thread
// inherits the block and the signals wait until wait() takes one: no handler ever interrupts other work.
class TerminationSignal
{
public:
    TerminationSignal();

    // Blocks until one of the signals arrives, and tells its number.
    int wait() const;

    static QString name(int signalNumber);

private:
    sigset_t m_signals;
};
