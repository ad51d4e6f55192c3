// SPDX-License-Identifier: MIT
#include "HalvexServer.h"

#include "ConsoleOutput.h"
#include "HttpConnection.h"
#include "HttpResponse.h"

#include <QTcpSocket>

namespace {
// Short enough that the whole stop stays within a second.
constexpr auto GracePeriod = std::chrono::milliseconds(800);
} // namespace

HalvexServer::HalvexServer(const HalvexApi &api, QObject *parent)
    : QObject(parent)
    , m_api(api)
{
    m_gracePeriod.setSingleShot(true);
    m_gracePeriod.setInterval(GracePeriod);
    connect(&m_gracePeriod, &QTimer::timeout, this, &HalvexServer::dropRemaining);
    connect(&m_listener, &QTcpServer::newConnection, this, &HalvexServer::acceptPending);
}

bool HalvexServer::listen(quint16 port, QString *error)
{
    if (m_listener.listen(QHostAddress::LocalHost, port))
        return true;
    if (m_listener.serverError() == QAbstractSocket::AddressInUseError)
        *error = QStringLiteral("port %1 is already in use").arg(port);
    else
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_listener.errorString());
    return false;
}

void HalvexServer::shutDown()
{
    if (m_shuttingDown)
        return;
    m_shuttingDown = true;
    // Clients whose connection the kernel completed before the stop may already have sent a request.
    // One poll accepts all of them.
    m_listener.waitForNewConnection(0);
    m_listener.close();
    if (m_connections.isEmpty()) {
        emit stopped();
        return;
    }
    m_gracePeriod.start();
    // A copy: connections that close at once leave the list while it is walked.
    const QList<HttpConnection *> connections = m_connections;
    for (HttpConnection *connection : connections)
        connection->finishAndClose();
}

void HalvexServer::acceptPending()
{
    while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
        auto *connection = new HttpConnection(socket, m_api, this);
        m_connections.append(connection);
        connect(
            connection, &HttpConnection::requestServed, this,
            [](const QByteArray &method, const QByteArray &path, int status) {
                ConsoleOutput::line(
                    QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(method), QString::fromLatin1(path)).arg(status));
            });
        connect(connection, &HttpConnection::requestRejected, this, [](int status) {
            ConsoleOutput::line(QStringLiteral("Rejected a malformed request: %1 %2")
                                    .arg(status)
                                    .arg(QString::fromLatin1(HttpResponse::reasonPhrase(status))));
        });
        connect(connection, &HttpConnection::closed, this, [this, connection] { forget(connection); });
    }
}

void HalvexServer::forget(HttpConnection *connection)
{
    if (!m_connections.removeOne(connection))
        return;
    connection->deleteLater();
    if (m_shuttingDown && m_connections.isEmpty()) {
        m_gracePeriod.stop();
        emit stopped();
    }
}

void HalvexServer::dropRemaining()
{
    const QList<HttpConnection *> connections = std::exchange(m_connections, {});
    for (HttpConnection *connection : connections) {
        connection->abort();
        connection->deleteLater();
    }
    emit stopped();
}
