// SPDX-License-Identifier: MIT
#pragma once

#include "TestSupport.h"

#include <QHash>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

#include <memory>

// An HTTPS server on loopback with the checked-in test certificate, answering GET requests from a
// table of paths (404 for the rest). clientConfiguration() trusts that certificate and no other.
class TestHttpsServer : public QObject
{
public:
    TestHttpsServer()
    {
        m_configuration.setLocalCertificate(
            QSslCertificate(TestSupport::readFile(HALVEX_BINARY_TEST_DATA "/cert.pem")));
        m_configuration.setPrivateKey(QSslKey(TestSupport::readFile(HALVEX_BINARY_TEST_DATA "/key.pem"), QSsl::Rsa));
        m_server.setSslConfiguration(m_configuration);
        connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (auto *socket = qobject_cast<QSslSocket *>(m_server.nextPendingConnection())) {
                auto request = std::make_shared<QByteArray>();
                connect(socket, &QSslSocket::readyRead, socket, [this, socket, request] {
                    if (request->append(socket->readAll()).contains("\r\n\r\n"))
                        answer(socket, std::exchange(*request, QByteArray()));
                });
                connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl baseUrl() const { return QUrl("https://127.0.0.1:" + QString::number(m_server.serverPort())); }
    // What a client trusts to reach this server: its own certificate, in PEM.
    QByteArray certificateAuthority() const { return m_configuration.localCertificate().toPem(); }
    // A status of 0 never answers; a redirect goes to the body. The body is sent in that many
    // pieces, 150 ms apart: progress is reported at most every 100 ms.
    void serve(const QString &path, int status, const QByteArray &body = {}, int pieces = 1)
    {
        m_responses.insert(path, {status, body, pieces});
    }
    int requestCount() const { return m_requestCount; }

private:
    struct Response
    {
        int status;
        QByteArray body;
        int pieces;
    };

    void answer(QSslSocket *socket, const QByteArray &request)
    {
        ++m_requestCount;
        const Response response = m_responses.value(QString(request.split(' ').value(1)), {404, "not here", 1});
        if (response.status == 0)
            return;
        socket->write("HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\nConnection: close\r\n" +
                      (response.status == 302 ? "Location: " + response.body + "\r\n" : QByteArray()) +
                      "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n");
        const qsizetype size = response.body.size() / response.pieces + 1;
        for (int piece = 0; piece < response.pieces; ++piece) {
            QTimer::singleShot(
                piece * 150, socket,
                [socket, last = piece + 1 == response.pieces, bytes = response.body.mid(piece * size, size)] {
                    socket->write(bytes);
                    if (last)
                        socket->disconnectFromHost();
                });
        }
    }

    QSslConfiguration m_configuration = QSslConfiguration::defaultConfiguration();
    QSslServer m_server;
    QHash<QString, Response> m_responses;
    int m_requestCount = 0;
};
