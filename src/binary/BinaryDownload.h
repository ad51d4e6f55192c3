// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Network.h"

#include <QObject>
#include <QTemporaryFile>

#include <memory>

// One transfer of a release payload, streamed into a temporary file in a given directory (the
// one it will be installed into, so the install can rename rather than copy). Deletes nothing
// but its own file on failure; on success the file is handed to the receiver.
class BinaryDownload : public QObject
{
    Q_OBJECT

public:
    explicit BinaryDownload(Network::HttpClient *network, const QString &directory, QObject *parent = nullptr);
    ~BinaryDownload() override;

    void start(const Network::HttpRequest &request);

signals:
    // Fraction of the announced size received so far, 0 to 1.
    void progressed(double fraction);
    // Exactly one of the two is set: the path of the received payload, which the receiver now
    // owns and removes, or the message of the failure.
    void finished(const QString &payloadPath, const QString &error);

private:
    // Writes what has arrived; false once anything could not be written.
    bool store();
    void complete(const Network::HttpOutcome &outcome);
    void fail(const QString &error);

    Network::HttpClient *m_network;
    QTemporaryFile m_payload;
    std::unique_ptr<Network::HttpTransfer> m_reply;
    bool m_storeFailed = false;
};
