// SPDX-License-Identifier: MIT
#include "HalvexServer.h"

#include "ConsoleOutput.h"
#include "HalvexApi.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>

namespace {
constexpr size_t MaxBodySize = 8 * 1024 * 1024;
// How long a client may leave the rest of a request, or of an answer, waiting.
constexpr auto TransferTimeout = std::chrono::seconds(30);
// Each open connection holds one of the library's few worker threads, so an idle one is not kept for long.
constexpr time_t IdleTimeoutSeconds = 5;
// Every route leads to the API, which tells the paths apart itself. [\s\S] also matches a decoded line break.
const char *const AnyPath = R"([\s\S]*)";

// As on the library's status line.
const char *reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 500:
        return "Internal Server Error";
    default:
        return "Error";
    }
}

// The answers to requests that could not be read, or not taken as they came; the API gives none of them.
bool isRejection(int status)
{
    return status == 400 || status == 413 || status == 414;
}

// Clients percent-encode everything else. Raw control or non-ASCII bytes would also garble the log lines.
bool isPrintable(const std::string &target)
{
    return std::all_of(target.begin(), target.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

// Without either header a request has no body; the library would read until the client closes.
bool hasBody(const httplib::Request &request)
{
    return request.has_header("Content-Length") || request.has_header("Transfer-Encoding");
}

void setErrorBody(const httplib::Request &, httplib::Response &response)
{
    if (!response.body.empty())
        return;
    const QJsonObject error{{QStringLiteral("error"), QString::fromLatin1(reasonPhrase(response.status))}};
    response.set_content(QJsonDocument(error).toJson(QJsonDocument::Compact).toStdString() + "\n", "application/json");
}

void logRequest(const httplib::Request &request, const httplib::Response &response)
{
    if (isRejection(response.status)) {
        ConsoleOutput::line(QStringLiteral("Rejected a malformed request: %1 %2")
                                .arg(response.status)
                                .arg(QString::fromLatin1(reasonPhrase(response.status))));
        return;
    }
    ConsoleOutput::line(QStringLiteral("%1 %2 %3")
                            .arg(QString::fromStdString(request.method), QString::fromLatin1(HalvexApi::path(request)))
                            .arg(response.status));
}
} // namespace

HalvexServer::HalvexServer(const HalvexApi &api)
    : m_api(api)
{
    m_http.set_socket_options([this](socket_t socket) {
        // The library's default, SO_REUSEPORT, would let a second server share a port that another one listens on.
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_listener = socket;
    });
    // The head of a request is bounded by the library itself, which takes no setting for it: 8 KiB for the
    // request line (414) and for each header line (400).
    m_http.set_payload_max_length(MaxBodySize);
    m_http.set_read_timeout(TransferTimeout);
    m_http.set_write_timeout(TransferTimeout);
    m_http.set_keep_alive_timeout(IdleTimeoutSeconds);

    const auto withoutBody = [this](const httplib::Request &request, httplib::Response &response) {
        serve(request, response, {});
    };
    const auto withBody = [this](const httplib::Request &request, httplib::Response &response,
                                 const httplib::ContentReader &reader) { serveWithBody(request, response, reader); };
    m_http.Get(AnyPath, withoutBody); // and HEAD
    m_http.Options(AnyPath, withoutBody);
    m_http.Post(AnyPath, withBody);
    m_http.Put(AnyPath, withBody);
    m_http.Patch(AnyPath, withBody);
    m_http.Delete(AnyPath, withBody);
    m_http.set_error_handler(setErrorBody);
    m_http.set_post_routing_handler(
        [this](const httplib::Request &, httplib::Response &response) { finish(response); });
    m_http.set_logger(logRequest);
}

HalvexServer::~HalvexServer()
{
    if (m_thread.joinable()) {
        m_http.stop();
        m_thread.join();
    }
}

bool HalvexServer::listen(quint16 port, QString *error)
{
    if (m_http.bind_to_port("127.0.0.1", port)) {
        // The library listens with a backlog of 5, fixed when it was built: a burst of clients beyond that would wait
        // a second for their connection. Listening again raises it.
        ::listen(m_listener, SOMAXCONN);
        return true;
    }
    // The library leaves the failed bind()'s error in errno.
    if (errno == EADDRINUSE)
        *error = QStringLiteral("port %1 is already in use").arg(port);
    else
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                     .arg(port)
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

void HalvexServer::start()
{
    std::packaged_task<void()> acceptLoop([this] {
        // The library gives up on an error of accept() that it does not expect. A server that takes no more
        // connections must not pose as running.
        if (!m_http.listen_after_bind()) {
            ConsoleOutput::error(QStringLiteral("stopped accepting connections"));
            std::_Exit(1);
        }
    });
    m_finished = acceptLoop.get_future();
    m_thread = std::thread(std::move(acceptLoop));
    // The library's stop() does nothing until its loop runs, and it tells nobody when that is.
    while (!m_http.is_running() && m_finished.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    }
}

bool HalvexServer::stop(std::chrono::milliseconds grace)
{
    m_stopping = true;
    m_http.stop();
    if (m_finished.wait_for(grace) != std::future_status::ready)
        return false;
    m_thread.join();
    return true;
}

void HalvexServer::serve(const httplib::Request &request, httplib::Response &response, const std::string &body) const
{
    if (!isPrintable(request.target)) {
        response.status = 400;
        return;
    }
    m_api.respond(request, body, response);
}

void HalvexServer::serveWithBody(const httplib::Request &request, httplib::Response &response,
                                 const httplib::ContentReader &reader) const
{
    std::string body;
    if (hasBody(request)) {
        // The library checks a declared Content-Length against the limit, but not the sum of chunks.
        bool tooLarge = false;
        const bool complete = reader([&body, &tooLarge](const char *data, size_t length) {
            tooLarge = body.size() + length > MaxBodySize;
            if (!tooLarge)
                body.append(data, length);
            return !tooLarge;
        });
        // On failure the library has set the status: 413 for a declared length past the limit, 400 for the rest.
        if (tooLarge)
            response.status = 413;
        if (!complete)
            return;
    }
    serve(request, response, body);
}

void HalvexServer::finish(httplib::Response &response) const
{
    // The library closes a connection after the answer that is under way at the stop; the client is told so.
    if (m_stopping && !response.has_header("Connection")) {
        response.headers.erase("Keep-Alive");
        response.set_header("Connection", "close");
    }
    // A 204 carries neither a body nor a length, but the library gives every empty answer "Content-Length: 0".
    if (response.status == 204)
        response.headers.erase("Content-Length");
}
