// SPDX-License-Identifier: MIT
#include "CommandConnection.h"

#include <QIODevice>
#include <QJsonDocument>

namespace {

// Requests are a command word, a name or a path: far below this.
constexpr qint64 longestRequest = 64 * 1024;

} // namespace

CommandConnection::CommandConnection(std::unique_ptr<Network::LocalConnection> link, QObject *parent)
    : QObject(parent)
    , m_link(std::move(link))
{
    connect(m_link->stream(), &QIODevice::readyRead, this, &CommandConnection::readRequest);
    m_link->onDisconnected = [this] { deleteLater(); };
}

CommandConnection::~CommandConnection() = default;

void CommandConnection::start()
{
    readRequest();
}

void CommandConnection::readRequest()
{
    if (m_requested)
        return;
    QIODevice *stream = m_link->stream();
    if (!stream->canReadLine()) {
        if (stream->bytesAvailable() > longestRequest)
            fail(2, QStringLiteral("The request is too long"));
        return;
    }
    m_requested = true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(stream->readLine(longestRequest), &error);
    if (!document.isObject()) {
        fail(2, QStringLiteral("The request is not a JSON object: ") + error.errorString());
        return;
    }
    emit requested(document.object());
}

void CommandConnection::write(const QJsonObject &message)
{
    m_link->send(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
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
    m_link->disconnect();
}

void CommandConnection::fail(int exitCode, const QString &error)
{
    finish(QJsonObject{{QStringLiteral("error"), error}}, exitCode);
}
