// SPDX-License-Identifier: MIT
#pragma once

#include <httplib.h>

#include <QByteArray>

class KeyValueStore;

// What the server answers: the open health check and the key-value routes behind the bearer token. It sets the
// status and the headers of an error; the server gives every error its body.
class HalvexApi
{
public:
    HalvexApi(const QByteArray &authToken, const QByteArray &timeZoneId, KeyValueStore &store);

    // The request target as the client sent it, without its query.
    static QByteArray path(const httplib::Request &request);

    // Called on the server's threads at once.
    void respond(const httplib::Request &request, const std::string &body, httplib::Response &response) const;

private:
    void health(const httplib::Request &request, httplib::Response &response) const;
    void keyValue(const httplib::Request &request, const QByteArray &key, const std::string &body,
                  httplib::Response &response) const;
    bool isAuthorized(const httplib::Request &request) const;

    QByteArray m_tokenDigest;
    QByteArray m_timeZoneId;
    KeyValueStore &m_store;
};
