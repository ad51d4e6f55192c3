// SPDX-License-Identifier: MIT
#pragma once

#include "core/AppPaths.h"
#include "platform/Network.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AppSettings;
class FileChooser;
class QFileSystemWatcher;

// Obtains the server executable: downloads and installs the latest release, or lets the user
// pick a file and makes it runnable. Its state is published through changed(), which also
// passes on every change of the settings and of the configured file on disk.
class BinaryManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY changed)
    Q_PROPERTY(double downloadProgress READ downloadProgress NOTIFY changed)
    Q_PROPERTY(QString downloadError READ downloadError NOTIFY changed)

public:
    // releaseBaseUrl: the https:// address of the release server; the latest build of this
    // platform is fetched from <releaseBaseUrl>/latest/<asset>.
    explicit BinaryManager(AppSettings *settings, const AppPaths &paths, FileChooser *fileChooser,
                           const QUrl &releaseBaseUrl, QObject *parent = nullptr);

    // True from the start of a download until its install has ended, either way.
    bool isDownloading() const { return m_isDownloading; }
    double downloadProgress() const { return m_downloadProgress; }
    // Empty when there is no error to show.
    QString downloadError() const { return m_downloadError; }

    // Where a downloaded executable is installed: <state directory>/halvex.
    QString binaryInstallURL() const;
    // binaryPath is set, a file is there, and it is executable for the user.
    bool isBinaryAvailable() const;

    void downloadBinary();
    void selectBinary(std::function<void(bool stored)> completion = {});

    // The certificate authorities (PEM) that alone are trusted for the download, for a release
    // server with an authority of its own.
    void setCertificateAuthorities(const QByteArray &pem) { m_certificateAuthorities = pem; }
    // How long a download may go without receiving anything.
    void setTransferTimeout(std::chrono::milliseconds timeout) { m_transferTimeout = timeout; }

signals:
    void changed();

private:
    QUrl downloadUrl() const;
    void setProgress(double progress);
    void install(const QString &payloadPath);
    void finishDownload(const QString &error);
    void repairAndStore(const QString &path, const std::function<void(bool)> &completion);
    // The outcome of a selection, delivered on the next turn of the event loop.
    void reportSelection(const QString &storedPath, const QString &error, const std::function<void(bool)> &completion);
    void storeBinaryPath(const QString &path);
    // Watches the configured file, and its directory so that a file created again is noticed.
    void watchBinary();
    void binaryFileChanged();

    // What the views show of the configured file.
    struct BinaryFileState
    {
        bool exists = false;
        bool executable = false;
        friend bool operator==(const BinaryFileState &, const BinaryFileState &) = default;
    };
    BinaryFileState binaryFileState() const;

    AppSettings *m_settings;
    AppPaths m_paths;
    FileChooser *m_fileChooser;
    QUrl m_releaseBaseUrl;
    std::unique_ptr<Network::HttpClient> m_network;
    QFileSystemWatcher *m_watcher = nullptr;
    BinaryFileState m_binaryFileState;
    QByteArray m_certificateAuthorities;
    std::chrono::milliseconds m_transferTimeout;
    bool m_isDownloading = false;
    double m_downloadProgress = 0;
    QString m_downloadError;
};
