// SPDX-License-Identifier: MIT
#include "TerminationSignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

int TerminationSignal::s_writeEnd = -1;

namespace {
constexpr int HandledSignals[] = {SIGTERM, SIGINT};
}

TerminationSignal::TerminationSignal(QObject *parent)
    : QObject(parent)
{}

TerminationSignal::~TerminationSignal()
{
    if (m_sockets[0] < 0)
        return;
    for (const int signalNumber : HandledSignals)
        std::signal(signalNumber, SIG_DFL);
    s_writeEnd = -1;
    ::close(m_sockets[0]);
    ::close(m_sockets[1]);
}

bool TerminationSignal::install(QString *error)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_sockets) != 0) {
        *error = QStringLiteral("cannot create the signal socket pair: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    s_writeEnd = m_sockets[1];
    m_notifier = new QSocketNotifier(m_sockets[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignal::readPending);

    struct sigaction action = {};
    action.sa_handler = &TerminationSignal::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : HandledSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            *error = QStringLiteral("cannot install the handler for %1").arg(name(signalNumber));
            return false;
        }
    }
    return true;
}

QString TerminationSignal::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    default:
        return QStringLiteral("signal %1").arg(signalNumber);
    }
}

void TerminationSignal::handle(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(s_writeEnd, &byte, 1);
    errno = savedErrno;
}

void TerminationSignal::readPending()
{
    unsigned char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(m_sockets[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit received(bytes[i]);
    }
}
