// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class HalvexApi;
class HttpConnection;

// Accepts connections on the loopback address and logs every request. On shutdown it stops accepting, gives
// the requests under way a short grace period to finish, and then drops whatever is left.
class HalvexServer : public QObject
{
    Q_OBJECT

public:
    explicit HalvexServer(const HalvexApi &api, QObject *parent = nullptr);

    bool listen(quint16 port, QString *error);
    void shutDown();

signals:
    void stopped();

private:
    void acceptPending();
    void forget(HttpConnection *connection);
    void dropRemaining();

    const HalvexApi &m_api;
    QTcpServer m_listener;
    QList<HttpConnection *> m_connections;
    QTimer m_gracePeriod;
    bool m_shuttingDown = false;
};
