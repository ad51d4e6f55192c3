// SPDX-License-Identifier: MIT
#include "TestHttpsServer.h"

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

#include <memory>

namespace {
QByteArray readData(const char *name)
{
    QFile file(QStringLiteral(HALVEX_BINARY_TEST_DATA "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TestHttpsServer::TestHttpsServer(QObject *parent)
    : QObject(parent)
{
    m_serverConfiguration = QSslConfiguration::defaultConfiguration();
    m_serverConfiguration.setLocalCertificate(QSslCertificate(readData("cert.pem")));
    m_serverConfiguration.setPrivateKey(QSslKey(readData("key.pem"), QSsl::Rsa));
    m_server.setSslConfiguration(m_serverConfiguration);
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (auto *socket = qobject_cast<QSslSocket *>(m_server.nextPendingConnection())) {
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QSslSocket::readyRead, socket, [this, socket, request] {
                request->append(socket->readAll());
                if (request->contains("\r\n\r\n"))
                    answer(socket, std::exchange(*request, QByteArray()));
            });
            connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool TestHttpsServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl TestHttpsServer::baseUrl() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort()));
}

QSslConfiguration TestHttpsServer::clientConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates({m_serverConfiguration.localCertificate()});
    return configuration;
}

void TestHttpsServer::answer(QSslSocket *socket, const QByteArray &request)
{
    ++m_requestCount;
    const QString path = QString::fromLatin1(request.split(' ').value(1));
    const Response response = m_responses.value(path, Response{404, "not here", {}});
    if (response.status == 0)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) +
                      " Status\r\nContent-Length: " + QByteArray::number(response.body.size()) +
                      "\r\nConnection: close\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    socket->write(head + "\r\n");
    const qsizetype pieceSize = response.body.size() / response.pieces + 1;
    for (int piece = 0; piece < response.pieces; ++piece) {
        QTimer::singleShot(piece * 150, socket,
                           [socket, piece, last = piece + 1 == response.pieces,
                            bytes = response.body.mid(piece * pieceSize, pieceSize)] {
                               socket->write(bytes);
                               if (last)
                                   socket->disconnectFromHost();
                           });
    }
}
