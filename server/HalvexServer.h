// SPDX-License-Identifier: MIT
#pragma once

#include <httplib.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

class HalvexApi;

// Serves the API over HTTP on the loopback address through cpp-httplib, within the limits set in the
// constructor, and prints a line for every request it answers. Connections are served on the library's threads.
class HalvexServer
{
public:
    explicit HalvexServer(const HalvexApi &api);
    ~HalvexServer();
    HalvexServer(const HalvexServer &) = delete;
    HalvexServer &operator=(const HalvexServer &) = delete;

    bool listen(quint16 port, QString *error);
    // Returns once connections are being accepted.
    void start();
    // Stops accepting connections and waits up to grace for the requests under way, which are answered with
    // "Connection: close". False when some did not finish in time: their threads are still busy with this object,
    // so the process must then end without destroying it.
    bool stop(std::chrono::milliseconds grace);

private:
    void serve(const httplib::Request &request, httplib::Response &response, const std::string &body) const;
    void serveWithBody(const httplib::Request &request, httplib::Response &response,
                       const httplib::ContentReader &reader) const;
    void finish(httplib::Response &response) const;

    const HalvexApi &m_api;
    httplib::Server m_http;
    socket_t m_listener = INVALID_SOCKET;
    std::thread m_thread;
    std::future<void> m_finished;
    std::atomic_bool m_stopping = false;
};
