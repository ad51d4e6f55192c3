// SPDX-License-Identifier: MIT
// The network module: the interfaces of platform/Network.h made of Qt Network's sockets and
// transfers. The application loads it when it first needs one of them.
#include "platform/Network.h"

#include <QHostAddress>
#include <QLocalServer>
#include <QLocalSocket>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTcpSocket>

namespace {

// Called through a copy: a user may destroy the object whose callback this is from within it.
template<typename... Parameters, typename... Arguments>
void call(std::function<void(Parameters...)> callback, const Arguments &...arguments)
{
    if (callback)
        callback(arguments...);
}

class QtLocalConnection final : public Network::LocalConnection
{
public:
    explicit QtLocalConnection(QLocalSocket *socket = new QLocalSocket)
        : m_socket(socket)
    {
        m_socket->setParent(nullptr);
        QObject::connect(m_socket.get(), &QLocalSocket::connected, &m_receiver, [this] { call(onConnected); });
        QObject::connect(m_socket.get(), &QLocalSocket::errorOccurred, &m_receiver, [this] { call(onError); });
        QObject::connect(m_socket.get(), &QLocalSocket::disconnected, &m_receiver, [this] { call(onDisconnected); });
    }
    ~QtLocalConnection() override
    {
        // Closing the socket would report a disconnection to a user that is going away.
        QObject::disconnect(m_socket.get(), nullptr, &m_receiver, nullptr);
    }

    QIODevice *stream() override { return m_socket.get(); }
    void connectToServer(const QString &path) override { m_socket->connectToServer(path); }
    void send(const QByteArray &bytes) override
    {
        m_socket->write(bytes);
        m_socket->flush();
    }
    void disconnect() override { m_socket->disconnectFromServer(); }
    void abort() override { m_socket->abort(); }
    QString errorString() const override { return m_socket->errorString(); }

private:
    QObject m_receiver;
    std::unique_ptr<QLocalSocket> m_socket;
};

class QtLocalServer final : public Network::LocalServer
{
public:
    QtLocalServer()
    {
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { call(onNewConnection); });
    }

    bool listen(const QString &path, QString *error) override
    {
        QLocalServer::removeServer(path);
        if (m_server.listen(path))
            return true;
        *error = m_server.errorString();
        return false;
    }
    void close() override { m_server.close(); }
    std::unique_ptr<Network::LocalConnection> nextConnection() override
    {
        QLocalSocket *socket = m_server.nextPendingConnection();
        if (!socket)
            return nullptr;
        return std::make_unique<QtLocalConnection>(socket);
    }

private:
    QLocalServer m_server;
};

class QtPortKnock final : public Network::PortKnock
{
public:
    QtPortKnock()
    {
        QObject::connect(&m_socket, &QTcpSocket::connected, &m_socket, [this] { answer(true); });
        QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket, [this] { answer(false); });
    }
    ~QtPortKnock() override { QObject::disconnect(&m_socket, nullptr, &m_socket, nullptr); }

    void knock(quint16 port) override
    {
        m_socket.abort();
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    }

private:
    void answer(bool accepted)
    {
        m_socket.abort();
        call(onAnswer, accepted);
    }

    QTcpSocket m_socket;
};

class QtHttpTransfer final : public Network::HttpTransfer
{
public:
    explicit QtHttpTransfer(QNetworkReply *reply)
        : m_reply(reply)
    {
        QObject::connect(m_reply, &QNetworkReply::readyRead, &m_receiver, [this] { call(onReadyRead); });
        QObject::connect(m_reply, &QNetworkReply::downloadProgress, &m_receiver,
                         [this](qint64 received, qint64 total) { call(onProgress, received, total); });
        QObject::connect(m_reply, &QNetworkReply::finished, &m_receiver, [this] { finished(); });
    }
    ~QtHttpTransfer() override
    {
        abort();
        if (m_reply)
            m_reply->deleteLater();
    }

    QIODevice *body() override { return m_reply; }
    void abort() override
    {
        // Gone with its client when that went first.
        if (!m_reply)
            return;
        // Aborting finishes the reply, which is no outcome for the user who asked for it.
        QObject::disconnect(m_reply, nullptr, &m_receiver, nullptr);
        m_reply->abort();
    }

private:
    void finished()
    {
        Network::HttpOutcome outcome;
        outcome.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // Nothing cancels a transfer but its time-out, which Qt reports as a cancel.
        if (m_reply->error() == QNetworkReply::OperationCanceledError)
            outcome.error = Network::HttpOutcome::Error::TimedOut;
        else if (m_reply->error() != QNetworkReply::NoError)
            outcome.error = Network::HttpOutcome::Error::Other;
        if (outcome.error != Network::HttpOutcome::Error::None)
            outcome.errorString = m_reply->errorString();
        call(onFinished, outcome);
    }

    QObject m_receiver;
    QPointer<QNetworkReply> m_reply;
};

class QtHttpClient final : public Network::HttpClient
{
public:
    void connectDirectly() override { m_network.setProxy(QNetworkProxy::NoProxy); }
    void setCertificateAuthorities(const QByteArray &pem) override
    {
        if (pem.isEmpty()) {
            m_tls.reset();
            return;
        }
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setCaCertificates(QSslCertificate::fromData(pem, QSsl::Pem));
        m_tls = configuration;
    }
    std::unique_ptr<Network::HttpTransfer> get(const Network::HttpRequest &request) override
    {
        QNetworkRequest qtRequest(request.url);
        qtRequest.setTransferTimeout(static_cast<int>(request.transferTimeout.count()));
        qtRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        if (m_tls)
            qtRequest.setSslConfiguration(*m_tls);
        return std::make_unique<QtHttpTransfer>(m_network.get(qtRequest));
    }

private:
    QNetworkAccessManager m_network;
    std::optional<QSslConfiguration> m_tls;
};

class QtNetworkModule final : public Network::Module
{
public:
    std::unique_ptr<Network::LocalServer> localServer() override { return std::make_unique<QtLocalServer>(); }
    std::unique_ptr<Network::LocalConnection> localConnection() override
    {
        return std::make_unique<QtLocalConnection>();
    }
    std::unique_ptr<Network::PortKnock> portKnock() override { return std::make_unique<QtPortKnock>(); }
    std::unique_ptr<Network::HttpClient> httpClient() override { return std::make_unique<QtHttpClient>(); }
};

} // namespace

extern "C" Q_DECL_EXPORT Network::Module *halvexNetworkModule()
{
    static QtNetworkModule module;
    return &module;
}
