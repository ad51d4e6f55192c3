// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Network.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QObject>

#include <memory>

class QTimer;

// The command line's end of the command channel: reaches the running application, starting one in
// the background when none answers, sends the one request and prints what comes back. Needs no
// display: it runs on a QCoreApplication.
class CommandClient final : public QObject
{
    Q_OBJECT

public:
    // mayStartApplication: when no application answers, start one in the background and wait for
    // it; otherwise only wait for the one that holds the lock to answer.
    CommandClient(QString socketPath, QJsonObject request, bool mayStartApplication, QObject *parent = nullptr);
    ~CommandClient() override;

    // Call from the event loop.
    void start();

signals:
    // The exit code the program ends with.
    void finished(int exitCode);

private:
    void connectToApplication();
    void connectionFailed();
    bool startApplication();
    void readMessages();
    void present(const QJsonObject &message);
    void presentList(const QJsonArray &instances);
    void end(int exitCode);

    QString m_socketPath;
    QJsonObject m_request;
    bool m_mayStartApplication;
    std::unique_ptr<Network::LocalConnection> m_link;
    QTimer *m_retry;
    QDeadlineTimer m_patience;
    // When the application may be started (again); a default deadline has passed already.
    QDeadlineTimer m_nextStart;
    bool m_connected = false;
    bool m_heardBack = false;
    bool m_ended = false;
};
