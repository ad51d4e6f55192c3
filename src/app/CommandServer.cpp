// SPDX-License-Identifier: MIT
#include "CommandServer.h"

#include "CommandConnection.h"
#include "CommandHandler.h"

CommandServer::CommandServer(CommandHandler *handler, QObject *parent)
    : QObject(parent)
    , m_handler(handler)
{}

CommandServer::~CommandServer() = default;

bool CommandServer::listen(const QString &path, QString *error)
{
    if (!m_server) {
        Network::Module *network = Network::module(error);
        if (!network)
            return false;
        m_server = network->localServer();
        m_server->onNewConnection = [this] { acceptPending(); };
    }
    return m_server->listen(path, error);
}

void CommandServer::close()
{
    if (m_server)
        m_server->close();
}

void CommandServer::acceptPending()
{
    while (std::unique_ptr<Network::LocalConnection> link = m_server->nextConnection()) {
        auto *connection = new CommandConnection(std::move(link), this);
        connect(connection, &CommandConnection::requested, m_handler,
                [this, connection](const QJsonObject &request) { m_handler->handle(request, connection); });
        connection->start();
    }
}
