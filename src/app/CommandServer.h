// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Network.h"

#include <QObject>

#include <memory>

class CommandHandler;

// The running application's end of the command channel: a local socket only this user can reach.
// Each client becomes a CommandConnection whose request the handler answers.
class CommandServer final : public QObject
{
    Q_OBJECT

public:
    explicit CommandServer(CommandHandler *handler, QObject *parent = nullptr);
    ~CommandServer() override;

    // Only for the holder of the single-instance lock: a socket found at path belongs to an
    // application that is gone, and is removed first. Sets error on failure.
    bool listen(const QString &path, QString *error);
    // No further clients; those being answered carry on.
    void close();

private:
    void acceptPending();

    CommandHandler *m_handler;
    std::unique_ptr<Network::LocalServer> m_server;
};
