// SPDX-License-Identifier: MIT
#include "HealthMonitor.h"

#include "platform/ProcessInfo.h"

#include <QUrl>

HealthMonitor::HealthMonitor(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(defaultInterval);
    connect(&m_timer, &QTimer::timeout, this, &HealthMonitor::poll);
}

HealthMonitor::~HealthMonitor() = default;

void HealthMonitor::watch(qint64 pid, quint16 port)
{
    if (isWatching() && pid == m_pid && port == m_port)
        return;
    stop();
    m_pid = pid;
    m_port = port;
    m_reading = Reading();
    m_timer.start();
    poll();
}

void HealthMonitor::stop()
{
    m_timer.stop();
    // Ended without an outcome, which must not count as the server's answer.
    m_reply.reset();
}

void HealthMonitor::setInterval(std::chrono::milliseconds interval)
{
    m_timer.setInterval(interval);
}

void HealthMonitor::poll()
{
    m_reading.residentBytes = ProcessInfo::residentBytes(m_pid);
    emit updated();
    // A server slower than the interval is asked again only once it has answered.
    if (m_reply)
        return;
    if (!m_network) {
        Network::Module *network = Network::module();
        if (!network) {
            answered(Network::HttpOutcome{});
            return;
        }
        m_network = network->httpClient();
        // The server is on this machine: a proxy from the environment must not stand in between.
        m_network->connectDirectly();
    }
    Network::HttpRequest request;
    request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/health").arg(m_port));
    request.transferTimeout = answerTimeout;
    m_reply = m_network->get(request);
    m_reply->onFinished = [this](const Network::HttpOutcome &outcome) {
        m_reply.reset();
        answered(outcome);
    };
}

void HealthMonitor::answered(const Network::HttpOutcome &outcome)
{
    m_reading.status = outcome.status;
    if (outcome.status == 0)
        m_reading.answer = Answer::NoAnswer;
    else
        m_reading.answer = outcome.status == 200 ? Answer::Ok : Answer::Status;
    emit updated();
}
