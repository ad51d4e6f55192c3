// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

class QJsonObject;

// A status, a few headers and a body, and their form on the wire.
class HttpResponse
{
public:
    explicit HttpResponse(int status);

    // A response with a small JSON body, the form of every answer but a stored value.
    static HttpResponse json(int status, const QJsonObject &object);
    // A JSON body {"error": "<reason phrase>"} for a status that needs no further words.
    static HttpResponse error(int status);

    int status() const { return m_status; }
    void setHeader(const QByteArray &name, const QByteArray &value);
    void setBody(const QByteArray &contentType, const QByteArray &body);

    QByteArray toBytes(bool keepAlive) const;

    static QByteArray reasonPhrase(int status);

private:
    int m_status;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
};
