// SPDX-License-Identifier: MIT
#pragma once

#include "ServerProcess.h"
#include "platform/Network.h"

#include <QDateTime>
#include <QObject>
#include <QUuid>

#include <chrono>
#include <memory>

class QTimer;
class ServerOutput;

// Watches over one running server from its start (or its adoption from an earlier session) to its
// end: Starting until its port accepts a connection, then Running; Stopping once asked to end,
// with a deadline after which the user may end it by force. Its process ends only by a signal.
class ServerSupervisor final : public QObject
{
    Q_OBJECT

public:
    enum class State { Starting, Running, Stopping };

    // How long the start-up may take before the log says the port does not answer.
    static constexpr std::chrono::seconds readinessDeadline{30};

    // stopDeadline: how long a stop may take before the user is offered to end the server by force.
    ServerSupervisor(const QUuid &id, quint16 port, ServerProcess *process, ServerOutput *output,
                     std::chrono::milliseconds stopDeadline, QObject *parent = nullptr);

    QUuid id() const { return m_id; }
    State state() const { return m_state; }
    qint64 pid() const { return m_process->pid(); }
    quint16 port() const { return m_port; }
    bool isAdopted() const { return !m_process->isOwnChild(); }
    // When this run of the application began watching it.
    QDateTime since() const { return m_since; }
    // The stop deadline has passed and the process is still there.
    bool isStopOverdue() const { return m_stopOverdue; }

    // SIGTERM, once; the process is given the stop deadline to end.
    void stop();
    // SIGKILL, for a server that did not end when asked.
    void forceStop();

signals:
    // Starting → Running: the port accepted a connection.
    void ready();
    // Still not accepting connections after readinessDeadline; it may still come up.
    void readinessOverdue();
    void stopOverdue();
    // The process has ended and all its output has been handed over; duringStartup: it ended
    // before its port ever accepted a connection.
    void ended(const ServerExit &exit, bool duringStartup);

private:
    void probe();
    // The port did not accept a connection (yet): looked at again, later each time.
    void refused();

    QUuid m_id;
    quint16 m_port;
    ServerProcess *m_process;
    ServerOutput *m_output;
    State m_state = State::Starting;
    bool m_wasReady = false;
    bool m_stopRequested = false;
    bool m_stopOverdue = false;
    QDateTime m_since;
    ServerExit m_exit;
    std::unique_ptr<Network::PortKnock> m_probe;
    QTimer *m_probeTimer;
    QTimer *m_stopDeadline;
    int m_probeDelayMs = 0;
    qint64 m_probingSinceMs = 0;
    bool m_readinessReported = false;
};
