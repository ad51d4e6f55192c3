// SPDX-License-Identifier: MIT
#include "HttpConnection.h"

#include "HalvexApi.h"
#include "HttpResponse.h"

#include <QTcpSocket>

namespace {
constexpr qint64 ReadChunk = 64 * 1024;
// A client that sends requests without reading the answers is not served further until it catches up.
constexpr qint64 WriteBacklogLimit = 1024 * 1024;
constexpr auto IdleTimeout = std::chrono::seconds(30);
} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, const HalvexApi &api, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_api(api)
{
    m_socket->setParent(this);
    // Bytes stay in the kernel until the parser wants them, so a flood cannot grow this process.
    m_socket->setReadBufferSize(ReadChunk);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(IdleTimeout);
    connect(&m_idleTimer, &QTimer::timeout, this, &HttpConnection::closeIdle);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        m_idleTimer.start();
        processInput();
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::processInput);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::closed);
    m_idleTimer.start();
}

void HttpConnection::finishAndClose()
{
    m_finishing = true;
    // Bytes the client sent before the stop may still wait in the kernel: they belong to a request under way.
    m_socket->waitForReadyRead(0);
    if (!m_closing && !m_parser.hasPartialRequest() && m_socket->bytesAvailable() == 0)
        closeWhenWritten();
}

void HttpConnection::abort()
{
    m_closing = true;
    m_socket->abort();
}

void HttpConnection::processInput()
{
    while (!m_closing && m_socket->bytesToWrite() < WriteBacklogLimit) {
        const HttpRequestParser::Status status = m_parser.parse();
        if (status == HttpRequestParser::Status::NeedMore) {
            if (m_socket->bytesAvailable() == 0)
                return;
            m_parser.append(m_socket->read(ReadChunk));
            continue;
        }
        if (status == HttpRequestParser::Status::Failed) {
            emit requestRejected(m_parser.errorStatus());
            send(HttpResponse::error(m_parser.errorStatus()), false);
            return;
        }
        const HttpRequest request = m_parser.takeRequest();
        const HttpResponse response = m_api.respond(request);
        emit requestServed(request.method, request.path, response.status());
        send(response, request.keepAlive && !m_finishing);
    }
}

void HttpConnection::send(const HttpResponse &response, bool keepAlive)
{
    m_socket->write(response.toBytes(keepAlive));
    m_idleTimer.start();
    if (!keepAlive)
        closeWhenWritten();
}

void HttpConnection::closeWhenWritten()
{
    m_closing = true;
    m_idleTimer.stop();
    // Sends what is still buffered before the connection goes.
    m_socket->disconnectFromHost();
}

void HttpConnection::closeIdle()
{
    if (m_parser.hasPartialRequest() || m_socket->bytesAvailable() > 0) {
        send(HttpResponse::error(408), false);
        return;
    }
    closeWhenWritten();
}
