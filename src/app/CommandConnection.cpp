// SPDX-License-Identifier: MIT
#include "CommandConnection.h"

#include <QJsonDocument>
#include <QLocalSocket>

namespace {

// Requests are a command word, a name or a path: far below this.
constexpr qint64 longestRequest = 64 * 1024;

} // namespace

CommandConnection::CommandConnection(QLocalSocket *socket, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
{
    m_socket->setParent(this);
    connect(m_socket, &QLocalSocket::readyRead, this, &CommandConnection::readRequest);
    connect(m_socket, &QLocalSocket::disconnected, this, &QObject::deleteLater);
}

void CommandConnection::start()
{
    readRequest();
}

void CommandConnection::readRequest()
{
    if (m_requested)
        return;
    if (!m_socket->canReadLine()) {
        if (m_socket->bytesAvailable() > longestRequest)
            fail(2, QStringLiteral("The request is too long"));
        return;
    }
    m_requested = true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(m_socket->readLine(longestRequest), &error);
    if (!document.isObject()) {
        fail(2, QStringLiteral("The request is not a JSON object: ") + error.errorString());
        return;
    }
    emit requested(document.object());
}

void CommandConnection::write(const QJsonObject &message)
{
    m_socket->write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    // Written now, so that an answer sent just before the application quits still gets out.
    m_socket->flush();
}

void CommandConnection::send(const QJsonObject &message)
{
    if (!m_finished)
        write(message);
}

void CommandConnection::finish(QJsonObject answer, int exitCode)
{
    if (std::exchange(m_finished, true))
        return;
    answer.insert(QStringLiteral("exit"), exitCode);
    write(answer);
    m_socket->disconnectFromServer();
}

void CommandConnection::fail(int exitCode, const QString &error)
{
    finish(QJsonObject{{QStringLiteral("error"), error}}, exitCode);
}
