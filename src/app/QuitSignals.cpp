// SPDX-License-Identifier: MIT
#include "QuitSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array quitSignals{SIGTERM, SIGINT, SIGHUP};

// Written by the handler; one process has one set of handlers.
int writeEnd = -1;
std::array<struct sigaction, quitSignals.size()> previousActions{};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: a burst of signals that fills the socket loses only repeats of a quit.
    [[maybe_unused]] const ssize_t written = ::send(writeEnd, &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_sockets) != 0) {
        std::fprintf(stderr, "halvex-kelvane: cannot watch for quit signals: %s\n", std::strerror(errno));
        return;
    }
    writeEnd = m_sockets[0];
    m_notifier = new QSocketNotifier(m_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPending);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls of the event loop carry on as if nothing happened.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < quitSignals.size(); ++i)
        ::sigaction(quitSignals[i], &action, &previousActions[i]);
}

QuitSignals::~QuitSignals()
{
    if (m_sockets[0] < 0)
        return;
    for (std::size_t i = 0; i < quitSignals.size(); ++i)
        ::sigaction(quitSignals[i], &previousActions[i], nullptr);
    writeEnd = -1;
    ::close(m_sockets[0]);
    ::close(m_sockets[1]);
}

void QuitSignals::readPending()
{
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(m_sockets[1], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit received(numbers[i]);
    }
}
