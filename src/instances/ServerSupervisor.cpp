// SPDX-License-Identifier: MIT
#include "ServerSupervisor.h"

#include "ServerOutput.h"

#include <QDeadlineTimer>
#include <QTimer>

namespace {

// Looks at the port back off from the first interval up to the longest.
constexpr int longestProbeDelayMs = 1000;
constexpr int firstProbeDelayMs = 20;

} // namespace

ServerSupervisor::ServerSupervisor(const QUuid &id, quint16 port, ServerProcess *process, ServerOutput *output,
                                   std::chrono::milliseconds stopDeadline, QObject *parent)
    : QObject(parent)
    , m_id(id)
    , m_port(port)
    , m_process(process)
    , m_output(output)
    , m_since(QDateTime::currentDateTime())
    , m_probeTimer(new QTimer(this))
    , m_stopDeadline(new QTimer(this))
{
    m_process->setParent(this);
    m_probeTimer->setSingleShot(true);
    connect(m_probeTimer, &QTimer::timeout, this, &ServerSupervisor::probe);
    m_stopDeadline->setSingleShot(true);
    m_stopDeadline->setInterval(stopDeadline);
    connect(m_stopDeadline, &QTimer::timeout, this, [this] {
        m_stopOverdue = true;
        emit stopOverdue();
    });

    connect(m_process, &ServerProcess::ended, this, [this](const ServerExit &exit) {
        m_exit = exit;
        m_probeTimer->stop();
        m_stopDeadline->stop();
        m_probe.reset();
        // The end is told once the output written before it has been read.
        m_output->finish(m_id);
    });
    connect(m_output, &ServerOutput::finished, this, [this](const QUuid &id) {
        if (id == m_id)
            emit ended(m_exit, !m_wasReady && !m_stopRequested);
    });

    m_probingSinceMs = QDeadlineTimer::current().deadline();
    // A server found running is looked at at once. One spawned a moment ago cannot have opened its
    // port yet: a look now would only be refused, on the GUI thread, while the start is shown.
    QTimer::singleShot(isAdopted() ? 0 : firstProbeDelayMs, this, &ServerSupervisor::probe);
}

void ServerSupervisor::probe()
{
    if (m_state != State::Starting)
        return;
    if (!m_probe) {
        // Without the network module the port is never seen to accept: the log says so once the
        // start-up takes too long.
        if (Network::Module *network = Network::module())
            m_probe = network->portKnock();
        else
            return refused();
        m_probe->onAnswer = [this](bool accepted) {
            if (!accepted)
                return refused();
            m_wasReady = true;
            m_state = State::Running;
            emit ready();
        };
    }
    m_probe->knock(m_port);
}

void ServerSupervisor::refused()
{
    const qint64 waited = QDeadlineTimer::current().deadline() - m_probingSinceMs;
    if (waited >= std::chrono::milliseconds(readinessDeadline).count() && !std::exchange(m_readinessReported, true))
        emit readinessOverdue();
    m_probeDelayMs = qBound(firstProbeDelayMs, m_probeDelayMs * 2, longestProbeDelayMs);
    m_probeTimer->start(m_probeDelayMs);
}

void ServerSupervisor::stop()
{
    if (m_state == State::Stopping)
        return;
    m_state = State::Stopping;
    m_stopRequested = true;
    m_probeTimer->stop();
    m_process->terminate();
    m_stopDeadline->start();
}

void ServerSupervisor::forceStop()
{
    m_process->kill();
}
