// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// Watches one process by a pidfd, whether it is a child of ours or a server that an earlier run
// of the application started: it says when the process has ended, and it signals the process
// itself even after its PID has been reused by another program.
class ProcessWatch final : public QObject
{
    Q_OBJECT

public:
    explicit ProcessWatch(qint64 pid, QObject *parent = nullptr);
    ~ProcessWatch() override;

    qint64 pid() const { return m_pid; }
    // False when no process had this PID when the watch began.
    bool isValid() const { return m_pidfd >= 0; }
    // False when the process has ended (or never existed).
    bool sendSignal(int signal);

signals:
    // Once, on the event loop, when the process has ended.
    void ended();

private:
    qint64 m_pid;
    int m_pidfd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
