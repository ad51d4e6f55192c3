// SPDX-License-Identifier: MIT
#include "HttpResponse.h"

#include <QJsonDocument>
#include <QJsonObject>

HttpResponse::HttpResponse(int status)
    : m_status(status)
{}

HttpResponse HttpResponse::json(int status, const QJsonObject &object)
{
    HttpResponse response(status);
    response.setBody("application/json", QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
    return response;
}

HttpResponse HttpResponse::error(int status)
{
    return json(status, {{QStringLiteral("error"), QString::fromLatin1(reasonPhrase(status))}});
}

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    m_headers.append({name, value});
}

void HttpResponse::setBody(const QByteArray &contentType, const QByteArray &body)
{
    setHeader("Content-Type", contentType);
    m_body = body;
}

QByteArray HttpResponse::toBytes(bool keepAlive) const
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) + "\r\n";
    for (const auto &[name, value] : m_headers)
        bytes += name + ": " + value + "\r\n";
    // A 204 carries neither a body nor a length.
    if (m_status != 204)
        bytes += "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n";
    bytes += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (m_status != 204)
        bytes += m_body;
    return bytes;
}

QByteArray HttpResponse::reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}
