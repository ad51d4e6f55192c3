// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSslConfiguration>
#include <QSslServer>
#include <QUrl>

// An HTTPS server on loopback with the checked-in test certificate, answering GET requests
// from a table of paths. clientConfiguration() trusts that certificate and nothing else.
class TestHttpsServer : public QObject
{
    Q_OBJECT

public:
    // A status of 0 never answers.
    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray location;
        // The body in this many pieces, 150 ms apart: the client reports progress at most every
        // 100 ms, so only a transfer that takes longer shows values between 0 and 1.
        int pieces = 1;
    };

    explicit TestHttpsServer(QObject *parent = nullptr);

    bool listen();
    QUrl baseUrl() const;
    QSslConfiguration clientConfiguration() const;

    void serve(const QString &path, const Response &response) { m_responses.insert(path, response); }
    int requestCount() const { return m_requestCount; }

private:
    void answer(QSslSocket *socket, const QByteArray &request);

    QSslServer m_server;
    QSslConfiguration m_serverConfiguration;
    QHash<QString, Response> m_responses;
    int m_requestCount = 0;
};
