// SPDX-License-Identifier: MIT
#pragma once

#include "HttpResponse.h"

#include <QByteArray>
#include <QTimeZone>

class KeyValueStore;
struct HttpRequest;

// What the server answers: the open health check and the key-value routes behind the bearer token.
class HalvexApi
{
public:
    HalvexApi(const QByteArray &authToken, const QTimeZone &timeZone, KeyValueStore &store);

    HttpResponse respond(const HttpRequest &request) const;

private:
    HttpResponse health(const HttpRequest &request) const;
    HttpResponse keyValue(const HttpRequest &request, const QByteArray &key) const;
    bool isAuthorized(const HttpRequest &request) const;

    QByteArray m_tokenDigest;
    QTimeZone m_timeZone;
    KeyValueStore &m_store;
};
