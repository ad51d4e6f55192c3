// SPDX-License-Identifier: MIT
#include "HalvexApi.h"

#include "ConsoleOutput.h"
#include "HttpRequest.h"
#include "KeyValueStore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonObject>

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

// ISO 8601 with a numeric offset, also for UTC, where Qt would write "Z".
QString localTime(const QTimeZone &zone)
{
    const QDateTime now = QDateTime::currentDateTime().toTimeZone(zone);
    const int offsetMinutes = now.offsetFromUtc() / 60;
    const QString offset = QString::asprintf("%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', qAbs(offsetMinutes) / 60,
                                             qAbs(offsetMinutes) % 60);
    return now.toString(u"yyyy-MM-dd'T'HH:mm:ss") + offset;
}

HttpResponse methodNotAllowed(const QByteArray &allowed)
{
    HttpResponse response = HttpResponse::error(405);
    response.setHeader("Allow", allowed);
    return response;
}

HttpResponse storeFailure(const KeyValueStore &store)
{
    ConsoleOutput::error(QStringLiteral("storage failed: %1").arg(store.lastError()));
    return HttpResponse::error(500);
}
} // namespace

HalvexApi::HalvexApi(const QByteArray &authToken, const QTimeZone &timeZone, KeyValueStore &store)
    : m_tokenDigest(digest(authToken))
    , m_timeZone(timeZone)
    , m_store(store)
{}

HttpResponse HalvexApi::respond(const HttpRequest &request) const
{
    if (request.path == "/health")
        return health(request);
    if (request.path.startsWith(KeyPrefix) && request.path.size() > KeyPrefix.size())
        return keyValue(request, QByteArray::fromPercentEncoding(request.path.mid(KeyPrefix.size())));
    return HttpResponse::error(404);
}

HttpResponse HalvexApi::health(const HttpRequest &request) const
{
    if (request.method != "GET")
        return methodNotAllowed("GET");
    return HttpResponse::json(200, {
                                       {QStringLiteral("status"), QStringLiteral("ok")},
                                       {QStringLiteral("version"), QStringLiteral(HALVEX_VERSION)},
                                       {QStringLiteral("time"), localTime(m_timeZone)},
                                   });
}

HttpResponse HalvexApi::keyValue(const HttpRequest &request, const QByteArray &key) const
{
    if (!isAuthorized(request)) {
        HttpResponse response = HttpResponse::error(401);
        response.setHeader("WWW-Authenticate", "Bearer");
        return response;
    }

    if (request.method == "GET") {
        QByteArray value;
        switch (m_store.value(key, &value)) {
        case KeyValueStore::Result::Found: {
            HttpResponse response(200);
            response.setBody("application/octet-stream", value);
            return response;
        }
        case KeyValueStore::Result::NotFound:
            return HttpResponse::error(404);
        default:
            return storeFailure(m_store);
        }
    }
    if (request.method == "PUT") {
        switch (m_store.put(key, request.body)) {
        case KeyValueStore::Result::Created:
            return HttpResponse(201);
        case KeyValueStore::Result::Replaced:
            return HttpResponse(204);
        default:
            return storeFailure(m_store);
        }
    }
    if (request.method == "DELETE") {
        switch (m_store.remove(key)) {
        case KeyValueStore::Result::Removed:
            return HttpResponse(204);
        case KeyValueStore::Result::NotFound:
            return HttpResponse::error(404);
        default:
            return storeFailure(m_store);
        }
    }
    return methodNotAllowed("GET, PUT, DELETE");
}

bool HalvexApi::isAuthorized(const HttpRequest &request) const
{
    const QByteArray credentials = request.header("authorization");
    const qsizetype space = credentials.indexOf(' ');
    if (space < 0 || credentials.left(space).toLower() != "bearer")
        return false;
    return equalInConstantTime(digest(credentials.mid(space + 1).trimmed()), m_tokenDigest);
}
