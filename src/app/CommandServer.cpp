// SPDX-License-Identifier: MIT
#include "CommandServer.h"

#include "CommandConnection.h"
#include "CommandHandler.h"

#include <QLocalServer>
#include <QLocalSocket>

CommandServer::CommandServer(CommandHandler *handler, QObject *parent)
    : QObject(parent)
    , m_handler(handler)
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CommandServer::acceptPending);
}

bool CommandServer::listen(const QString &path, QString *error)
{
    QLocalServer::removeServer(path);
    if (m_server->listen(path))
        return true;
    *error = m_server->errorString();
    return false;
}

void CommandServer::close()
{
    m_server->close();
}

void CommandServer::acceptPending()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto *connection = new CommandConnection(socket, this);
        connect(connection, &CommandConnection::requested, m_handler,
                [this, connection](const QJsonObject &request) { m_handler->handle(request, connection); });
        connection->start();
    }
}
