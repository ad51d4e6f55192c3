// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class CommandHandler;
class QLocalServer;

// The running application's end of the command channel: a local socket only this user can reach.
// Each client becomes a CommandConnection whose request the handler answers.
class CommandServer final : public QObject
{
    Q_OBJECT

public:
    explicit CommandServer(CommandHandler *handler, QObject *parent = nullptr);

    // Only for the holder of the single-instance lock: a socket found at path belongs to an
    // application that is gone, and is removed first. Sets error on failure.
    bool listen(const QString &path, QString *error);
    // No further clients; those being answered carry on.
    void close();

private:
    void acceptPending();

    CommandHandler *m_handler;
    QLocalServer *m_server;
};
