// SPDX-License-Identifier: MIT
#include "TerminationSignal.h"

#include <pthread.h>

TerminationSignal::TerminationSignal()
{
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGTERM);
    sigaddset(&m_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
}

int TerminationSignal::wait() const
{
    int signalNumber = 0;
    sigwait(&m_signals, &signalNumber);
    return signalNumber;
}

QString TerminationSignal::name(int signalNumber)
{
    return signalNumber == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM");
}
