// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class QIODevice;

// The sockets and HTTP transfers of the application, from a module of their own that is loaded
// when first needed. Linking the network library, with the libraries it brings, made every start
// about 3.5 ms slower, though the first frame never touches the network. The classes here are
// plain interfaces, so that the module shares nothing with the program but this header; each
// reports through the callbacks its user sets, on the thread that made it, and may be destroyed
// from within them.
namespace Network {

// One end of a local connection of the command channel.
class LocalConnection
{
public:
    virtual ~LocalConnection() = default;

    // What the other end sent, to be read line by line as it arrives (readyRead).
    virtual QIODevice *stream() = 0;
    virtual void connectToServer(const QString &path) = 0;
    // Written at once, so that a message sent just before the application quits still gets out.
    virtual void send(const QByteArray &bytes) = 0;
    // Closes once everything sent has gone.
    virtual void disconnect() = 0;
    virtual void abort() = 0;
    virtual QString errorString() const = 0;

    std::function<void()> onConnected;
    std::function<void()> onError;
    std::function<void()> onDisconnected;
};

// The listening end of the command channel: a local socket only this user can reach.
class LocalServer
{
public:
    virtual ~LocalServer() = default;

    // A socket found at path is removed first. Sets error on failure.
    virtual bool listen(const QString &path, QString *error) = 0;
    virtual void close() = 0;
    // The next client that connected, or nothing.
    virtual std::unique_ptr<LocalConnection> nextConnection() = 0;

    std::function<void()> onNewConnection;
};

// Asks whether a port of this machine (127.0.0.1) accepts a connection, and closes it at once.
class PortKnock
{
public:
    virtual ~PortKnock() = default;

    virtual void knock(quint16 port) = 0;

    std::function<void(bool accepted)> onAnswer;
};

struct HttpRequest
{
    QUrl url;
    // How long the transfer may go without receiving anything.
    std::chrono::milliseconds transferTimeout{30000};
};

struct HttpOutcome
{
    enum class Error { None, TimedOut, Other };
    // 0 when no HTTP answer came.
    int status = 0;
    Error error = Error::None;
    QString errorString;
};

// One GET, following redirects that are no less safe (from https, to https only). Ends with
// onFinished exactly once, unless aborted or destroyed before.
class HttpTransfer
{
public:
    virtual ~HttpTransfer() = default;

    // The body, to be read as it arrives.
    virtual QIODevice *body() = 0;
    virtual void abort() = 0;

    std::function<void()> onReadyRead;
    std::function<void(qint64 received, qint64 total)> onProgress;
    std::function<void(const HttpOutcome &outcome)> onFinished;
};

// The state shared by transfers: connections kept open, proxies, TLS.
class HttpClient
{
public:
    virtual ~HttpClient() = default;

    // For this machine's servers: no proxy from the environment stands in between.
    virtual void connectDirectly() = 0;
    // PEM certificates that alone are trusted for https, in place of the system's (none: the
    // system's): for a release server with an authority of its own.
    virtual void setCertificateAuthorities(const QByteArray &pem) = 0;
    virtual std::unique_ptr<HttpTransfer> get(const HttpRequest &request) = 0;
};

class Module
{
public:
    virtual ~Module() = default;

    virtual std::unique_ptr<LocalServer> localServer() = 0;
    virtual std::unique_ptr<LocalConnection> localConnection() = 0;
    virtual std::unique_ptr<PortKnock> portKnock() = 0;
    virtual std::unique_ptr<HttpClient> httpClient() = 0;
};

// Loads the module the first time it is asked for; nothing, with the reason in error, when it
// cannot be loaded.
Module *module(QString *error = nullptr);

} // namespace Network

// The module's one exported function.
#define HALVEX_NETWORK_MODULE_ENTRY "halvexNetworkModule"
