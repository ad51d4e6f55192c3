// SPDX-License-Identifier: MIT
#include "BinaryDownload.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

BinaryDownload::BinaryDownload(QNetworkAccessManager *network, const QString &directory, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_payload(directory + QStringLiteral("/download-XXXXXX"))
{}

void BinaryDownload::start(const QNetworkRequest &request)
{
    if (!m_payload.open()) {
        QMetaObject::invokeMethod(
            this, [this] { fail(QStringLiteral("Download failed: no file received")); }, Qt::QueuedConnection);
        return;
    }
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &BinaryDownload::receive);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (total > 0)
            emit progressed(std::clamp(double(received) / double(total), 0.0, 1.0));
    });
    connect(m_reply, &QNetworkReply::finished, this, &BinaryDownload::complete);
}

void BinaryDownload::receive()
{
    const QByteArray chunk = m_reply->readAll();
    if (m_storeFailed || m_payload.write(chunk) == chunk.size())
        return;
    m_storeFailed = true;
    m_reply->abort();
}

void BinaryDownload::complete()
{
    m_reply->deleteLater();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400)
        return fail(QStringLiteral("Download failed: HTTP %1").arg(status));
    if (m_storeFailed)
        return fail(QStringLiteral("Download failed: no file received"));
    // Nothing here cancels a transfer but the transfer time-out, which Qt reports as a cancel.
    if (m_reply->error() == QNetworkReply::OperationCanceledError)
        return fail(QStringLiteral("Download failed: timed out"));
    if (m_reply->error() != QNetworkReply::NoError)
        return fail(m_reply->errorString());
    receive();
    if (m_storeFailed || !m_payload.flush())
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
