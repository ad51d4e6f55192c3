// SPDX-License-Identifier: MIT
#pragma once

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTemporaryFile>

class QNetworkAccessManager;
class QNetworkReply;

// One transfer of a release payload, streamed into a temporary file in a given directory (the
// one it will be installed into, so the install can rename rather than copy). Deletes nothing
// but its own file on failure; on success the file is handed to the receiver.
class BinaryDownload : public QObject
{
    Q_OBJECT

public:
    explicit BinaryDownload(QNetworkAccessManager *network, const QString &directory, QObject *parent = nullptr);

    void start(const QNetworkRequest &request);

signals:
    // Fraction of the announced size received so far, 0 to 1.
    void progressed(double fraction);
    // Exactly one of the two is set: the path of the received payload, which the receiver now
    // owns and removes, or the message of the failure.
    void finished(const QString &payloadPath, const QString &error);

private:
    void receive();
    void complete();
    void fail(const QString &error);

    QNetworkAccessManager *m_network;
    QTemporaryFile m_payload;
    QPointer<QNetworkReply> m_reply;
    bool m_storeFailed = false;
};
