// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Network.h"

#include <QJsonObject>
#include <QObject>

#include <memory>

// One client of the command channel. Its request is one JSON object on one line; the answer is
// one JSON object on one line, carrying the exit code the client ends with ("exit"). A followed
// log sends further lines before that. The connection deletes itself when the client goes, and
// so does everything parented to it that works on the client's behalf.
class CommandConnection final : public QObject
{
    Q_OBJECT

public:
    explicit CommandConnection(std::unique_ptr<Network::LocalConnection> link, QObject *parent = nullptr);
    ~CommandConnection() override;

    // Reads the request once it has arrived (it may have already): call once connected to requested.
    void start();

    // A message before the answer.
    void send(const QJsonObject &message);
    // The answer; nothing is sent after it and the connection closes.
    void finish(QJsonObject answer, int exitCode = 0);
    void fail(int exitCode, const QString &error);

signals:
    void requested(const QJsonObject &request);

private:
    void readRequest();
    void write(const QJsonObject &message);

    std::unique_ptr<Network::LocalConnection> m_link;
    bool m_requested = false;
    bool m_finished = false;
};
