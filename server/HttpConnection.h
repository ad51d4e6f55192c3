// SPDX-License-Identifier: MIT
#pragma once

#include "HttpRequestParser.h"

#include <QObject>
#include <QTimer>

class HalvexApi;
class HttpResponse;
class QTcpSocket;

// One client connection: reads requests, answers them in order, keeps the connection alive between them when
// the client wants that, and closes it after a malformed request or a long silence.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(QTcpSocket *socket, const HalvexApi &api, QObject *parent = nullptr);

    // Closes at once when no request is under way, otherwise right after answering it.
    void finishAndClose();
    void abort();

signals:
    void requestServed(const QByteArray &method, const QByteArray &path, int status);
    void requestRejected(int status);
    void closed();

private:
    void processInput();
    void send(const HttpResponse &response, bool keepAlive);
    void closeWhenWritten();
    void closeIdle();

    QTcpSocket *m_socket;
    const HalvexApi &m_api;
    HttpRequestParser m_parser;
    QTimer m_idleTimer;
    bool m_closing = false;
    bool m_finishing = false;
};
