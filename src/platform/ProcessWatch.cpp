// SPDX-License-Identifier: MIT
#include "ProcessWatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Debian 12's C library declares these without C linkage for C++; the system calls are the same.
int pidfdOpen(qint64 pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

int pidfdSendSignal(int pidfd, int signal)
{
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

} // namespace

ProcessWatch::ProcessWatch(qint64 pid, QObject *parent)
    : QObject(parent)
    , m_pid(pid)
    , m_pidfd(pidfdOpen(pid))
{
    if (m_pidfd < 0)
        return;
    // A pidfd reads as ready once its process has ended.
    m_notifier = new QSocketNotifier(m_pidfd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        m_notifier->setEnabled(false);
        emit ended();
    });
}

ProcessWatch::~ProcessWatch()
{
    if (m_pidfd >= 0)
        ::close(m_pidfd);
}

bool ProcessWatch::sendSignal(int signal)
{
    return m_pidfd >= 0 && pidfdSendSignal(m_pidfd, signal) == 0;
}
