// SPDX-License-Identifier: MIT
#include "BinaryDownload.h"

#include <algorithm>

BinaryDownload::BinaryDownload(Network::HttpClient *network, const QString &directory, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_payload(directory + QStringLiteral("/download-XXXXXX"))
{}

BinaryDownload::~BinaryDownload() = default;

void BinaryDownload::start(const Network::HttpRequest &request)
{
    if (!m_payload.open()) {
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("Download failed: no file received")); }, Qt::QueuedConnection);
        return;
    }
    m_reply = m_network->get(request);
    m_reply->onReadyRead = [this] {
        if (store())
            return;
        // An aborted transfer tells no outcome of its own.
        m_reply->abort();
        fail(QStringLiteral("Download failed: no file received"));
    };
    m_reply->onProgress = [this](qint64 received, qint64 total) {
        if (total > 0)
            emit progressed(std::clamp(double(received) / double(total), 0.0, 1.0));
    };
    m_reply->onFinished = [this](const Network::HttpOutcome &outcome) { complete(outcome); };
}

bool BinaryDownload::store()
{
    if (m_storeFailed)
        return false;
    const QByteArray chunk = m_reply->body()->readAll();
    m_storeFailed = m_payload.write(chunk) != chunk.size();
    return !m_storeFailed;
}

void BinaryDownload::complete(const Network::HttpOutcome &outcome)
{
    if (outcome.status >= 400)
        return fail(QStringLiteral("Download failed: HTTP %1").arg(outcome.status));
    if (outcome.error == Network::HttpOutcome::Error::TimedOut)
        return fail(QStringLiteral("Download failed: timed out"));
    if (outcome.error != Network::HttpOutcome::Error::None)
        return fail(outcome.errorString);
    if (!store() || !m_payload.flush())
        return fail(QStringLiteral("Download failed: no file received"));
    m_payload.close();
    m_payload.setAutoRemove(false);
    emit finished(m_payload.fileName(), QString());
}

void BinaryDownload::fail(const QString &error)
{
    if (m_payload.isOpen())
        m_payload.remove();
    emit finished(QString(), error);
}
