// SPDX-License-Identifier: MIT
#include "HalvexApi.h"

#include "ConsoleOutput.h"
#include "KeyValueStore.h"
#include "core/Version.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

namespace {
const QByteArray KeyPrefix = "/kv/";

QByteArray digest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// Compares digests of equal length without stopping at the first difference, so the time taken tells nothing
// about how much of a guessed token was right, nor (thanks to the digest) about the token's length.
bool equalInConstantTime(const QByteArray &a, const QByteArray &b)
{
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

// ISO 8601 with a numeric offset, also for UTC, where Qt would write "Z". The zone is made anew for every call:
// requests run on several threads, and one QTimeZone must not be used by two at once.
QString localTime(const QByteArray &zoneId)
{
    const QDateTime now = QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone(zoneId));
    const int offsetMinutes = now.offsetFromUtc() / 60;
    const QString offset = QString::asprintf("%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', qAbs(offsetMinutes) / 60,
                                             qAbs(offsetMinutes) % 60);
    return now.toString(u"yyyy-MM-dd'T'HH:mm:ss") + offset;
}

void methodNotAllowed(httplib::Response &response, const char *allowed)
{
    response.status = 405;
    response.set_header("Allow", allowed);
}

void storeFailed(httplib::Response &response, const QString &error)
{
    ConsoleOutput::error(QStringLiteral("storage failed: %1").arg(error));
    response.status = 500;
}
} // namespace

HalvexApi::HalvexApi(const QByteArray &authToken, const QByteArray &timeZoneId, KeyValueStore &store)
    : m_tokenDigest(digest(authToken))
    , m_timeZoneId(timeZoneId)
    , m_store(store)
{}

QByteArray HalvexApi::path(const httplib::Request &request)
{
    const QByteArray target = QByteArray::fromStdString(request.target);
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

void HalvexApi::respond(const httplib::Request &request, const std::string &body, httplib::Response &response) const
{
    const QByteArray path = HalvexApi::path(request);
    if (path == "/health")
        health(request, response);
    else if (path.startsWith(KeyPrefix) && path.size() > KeyPrefix.size())
        keyValue(request, QByteArray::fromPercentEncoding(path.mid(KeyPrefix.size())), body, response);
    else
        response.status = 404;
}

void HalvexApi::health(const httplib::Request &request, httplib::Response &response) const
{
    if (request.method != "GET")
        return methodNotAllowed(response, "GET");
    const QJsonObject health{
        {QStringLiteral("status"), QStringLiteral("ok")},
        {QStringLiteral("version"), QStringLiteral(HALVEX_KELVANE_VERSION)},
        {QStringLiteral("time"), localTime(m_timeZoneId)},
    };
    response.status = 200;
    response.set_content(QJsonDocument(health).toJson(QJsonDocument::Compact).toStdString() + "\n", "application/json");
}

void HalvexApi::keyValue(const httplib::Request &request, const QByteArray &key, const std::string &body,
                         httplib::Response &response) const
{
    if (!isAuthorized(request)) {
        response.status = 401;
        response.set_header("WWW-Authenticate", "Bearer");
        return;
    }

    QString error;
    if (request.method == "GET") {
        QByteArray value;
        switch (m_store.value(key, &value, &error)) {
        case KeyValueStore::Result::Found:
            response.status = 200;
            response.set_content(value.toStdString(), "application/octet-stream");
            return;
        case KeyValueStore::Result::NotFound:
            response.status = 404;
            return;
        default:
            return storeFailed(response, error);
        }
    }
    if (request.method == "PUT") {
        switch (m_store.put(key, QByteArray::fromStdString(body), &error)) {
        case KeyValueStore::Result::Created:
            response.status = 201;
            return;
        case KeyValueStore::Result::Replaced:
            response.status = 204;
            return;
        default:
            return storeFailed(response, error);
        }
    }
    if (request.method == "DELETE") {
        switch (m_store.remove(key, &error)) {
        case KeyValueStore::Result::Removed:
            response.status = 204;
            return;
        case KeyValueStore::Result::NotFound:
            response.status = 404;
            return;
        default:
            return storeFailed(response, error);
        }
    }
    methodNotAllowed(response, "GET, PUT, DELETE");
}

bool HalvexApi::isAuthorized(const httplib::Request &request) const
{
    const QByteArray credentials = QByteArray::fromStdString(request.get_header_value("Authorization"));
    const qsizetype space = credentials.indexOf(' ');
    if (space < 0 || credentials.left(space).toLower() != "bearer")
        return false;
    return equalInConstantTime(digest(credentials.mid(space + 1).trimmed()), m_tokenDigest);
}
