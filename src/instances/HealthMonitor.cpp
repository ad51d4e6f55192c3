// SPDX-License-Identifier: MIT
#include "HealthMonitor.h"

#include "platform/ProcessInfo.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

HealthMonitor::HealthMonitor(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    // The server is on this machine: a proxy from the environment must not stand in between.
    m_network->setProxy(QNetworkProxy::NoProxy);
    m_timer.setInterval(defaultInterval);
    connect(&m_timer, &QTimer::timeout, this, &HealthMonitor::poll);
}

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
    if (m_reply) {
        // Aborting reports the reply as finished, which must not count as the server's answer.
        QNetworkReply *reply = std::exchange(m_reply, nullptr);
        reply->abort();
        reply->deleteLater();
    }
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
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/health").arg(m_port)));
    request.setTransferTimeout(static_cast<int>(answerTimeout.count()));
    m_reply = m_network->get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { answered(reply); });
}

void HealthMonitor::answered(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        m_reading.answer = Answer::NoAnswer;
        m_reading.status = 0;
    } else {
        m_reading.status = status.toInt();
        m_reading.answer = m_reading.status == 200 ? Answer::Ok : Answer::Status;
    }
    emit updated();
}
