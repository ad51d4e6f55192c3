#pragma once

#include "core/AppPaths.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class AppSettings;
class FileChooser;
class QNetworkAccessManager;

// Obtains the server executable: downloads and installs the latest release, or lets the user
// pick a file and makes it runnable. Its state is published through changed(), which also
// passes on every change of the settings.
class BinaryManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY changed)
    Q_PROPERTY(double downloadProgress READ downloadProgress NOTIFY changed)
    Q_PROPERTY(QString downloadError READ downloadError NOTIFY changed)

public:
    BinaryManager(AppSettings *settings, const AppPaths &paths, FileChooser *fileChooser, const QUrl &releaseBaseUrl,
                  QObject *parent = nullptr);

    // The one manager of the application; never destroyed.
    static BinaryManager *shared();

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

    static void removeQuarantine(const QString &path);
    // Runs /bin/chmod +x; true when it ran and exited with 0.
    static bool makeExecutable(const QString &path);

signals:
    void changed();

private:
    bool m_isDownloading = false;
    double m_downloadProgress = 0;
    QString m_downloadError;
};
