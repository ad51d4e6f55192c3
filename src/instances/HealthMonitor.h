// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Network.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

// Looks after one running server while somebody looks at it: asks its /health at once and then
// every few seconds, and reads its resident memory. Nothing is asked of a server that is not
// watched, so a server nobody looks at costs nothing.
class HealthMonitor final : public QObject
{
    Q_OBJECT

public:
    enum class Answer {
        Waiting,  // no answer has come yet
        Ok,       // 200
        Status,   // another HTTP status, in status
        NoAnswer, // refused, reset, or not within the time-out
    };
    struct Reading
    {
        Answer answer = Answer::Waiting;
        int status = 0;
        std::optional<qint64> residentBytes;
    };

    static constexpr std::chrono::milliseconds defaultInterval{3000};
    // A server that has not answered within this time counts as not answering.
    static constexpr std::chrono::milliseconds answerTimeout{2000};

    explicit HealthMonitor(QObject *parent = nullptr);
    ~HealthMonitor() override;

    // Watches the server with this process id that listens on port; what was watched before is
    // let go.
    void watch(qint64 pid, quint16 port);
    void stop();
    bool isWatching() const { return m_timer.isActive(); }
    qint64 pid() const { return m_pid; }
    const Reading &reading() const { return m_reading; }
    // How often the server is asked; while a question is open, the next waits.
    void setInterval(std::chrono::milliseconds interval);

signals:
    // The reading changed.
    void updated();

private:
    void poll();
    void answered(const Network::HttpOutcome &outcome);

    // Made at the first question: the network module is loaded only once a server is looked at.
    std::unique_ptr<Network::HttpClient> m_network;
    QTimer m_timer;
    std::unique_ptr<Network::HttpTransfer> m_reply;
    qint64 m_pid = 0;
    quint16 m_port = 0;
    Reading m_reading;
};
