// SPDX-License-Identifier: MIT
#include "BinaryManager.h"

#include "BinaryDownload.h"
#include "BinaryInstaller.h"
#include "ExecutableFormat.h"
#include "ExecutableRepair.h"
#include "core/AppSettings.h"
#include "platform/FileChooser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QThreadPool>

#include <cerrno>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

// The check that counts: access() also knows about file systems mounted without exec rights.
bool isRunnable(const QString &path)
{
    return QFileInfo(path).isExecutable();
}

} // namespace

BinaryManager::BinaryManager(AppSettings *settings, const AppPaths &paths, FileChooser *fileChooser,
                             const QUrl &releaseBaseUrl, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_paths(paths)
    , m_fileChooser(fileChooser)
    , m_releaseBaseUrl(releaseBaseUrl)
    , m_transferTimeout(60s)
{
    connect(m_settings, &AppSettings::changed, this, &BinaryManager::watchBinary);
    connect(m_settings, &AppSettings::changed, this, &BinaryManager::changed);
    watchBinary();
}

QString BinaryManager::binaryInstallURL() const
{
    return m_paths.binaryInstallPath();
}

bool BinaryManager::isBinaryAvailable() const
{
    const QUrl binary = m_settings->binaryPath();
    if (binary.isEmpty())
        return false;
    const QFileInfo info(binary.toLocalFile());
    return info.isFile() && info.isExecutable();
}

BinaryManager::BinaryFileState BinaryManager::binaryFileState() const
{
    const QUrl binary = m_settings->binaryPath();
    if (binary.isEmpty())
        return {};
    const QFileInfo info(binary.toLocalFile());
    return {info.exists(), info.isExecutable()};
}

void BinaryManager::watchBinary()
{
    m_binaryFileState = binaryFileState();
    const QUrl binary = m_settings->binaryPath();
    QStringList wanted;
    if (!binary.isEmpty()) {
        const QFileInfo info(binary.toLocalFile());
        wanted = {info.absoluteFilePath(), info.absolutePath()};
    }
    if (!m_watcher) {
        if (wanted.isEmpty())
            return;
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &BinaryManager::binaryFileChanged);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &BinaryManager::binaryFileChanged);
    }
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    QStringList stale;
    for (const QString &path : watched)
        if (!wanted.contains(path))
            stale.append(path);
    if (!stale.isEmpty())
        m_watcher->removePaths(stale);
    // A deleted file drops out of the watch; it is added again once it is back.
    QStringList added;
    for (const QString &path : std::as_const(wanted))
        if (!watched.contains(path) && QFileInfo::exists(path))
            added.append(path);
    if (!added.isEmpty())
        m_watcher->addPaths(added);
}

void BinaryManager::binaryFileChanged()
{
    const BinaryFileState before = m_binaryFileState;
    watchBinary();
    // The directory also changes with every save of the state files; the views only care about
    // the configured file.
    if (m_binaryFileState != before)
        emit changed();
}

QUrl BinaryManager::downloadUrl() const
{
    QUrl url = m_releaseBaseUrl;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path + QStringLiteral("/latest/") + ExecutableFormat::releaseAssetName());
    return url;
}

void BinaryManager::downloadBinary()
{
    if (m_isDownloading)
        return;
    m_isDownloading = true;
    m_downloadProgress = 0;
    m_downloadError.clear();
    emit changed();

    const QUrl url = downloadUrl();
    if (!url.isValid() || url.scheme() != QStringLiteral("https") || url.host().isEmpty())
        return finishDownload(QStringLiteral("Invalid download URL"));

    // The network stack and the TLS backend cost milliseconds to set up: only a download pays.
    if (!m_network) {
        QString error;
        Network::Module *network = Network::module(&error);
        if (!network)
            return finishDownload(QStringLiteral("Download failed: ") + error);
        m_network = network->httpClient();
    }
    m_network->setCertificateAuthorities(m_certificateAuthorities);
    Network::HttpRequest request;
    request.url = url;
    request.transferTimeout = m_transferTimeout;

    auto *download = new BinaryDownload(m_network.get(), m_paths.directory(), this);
    connect(download, &BinaryDownload::progressed, this, &BinaryManager::setProgress);
    connect(download, &BinaryDownload::finished, this,
            [this, download](const QString &payloadPath, const QString &error) {
                download->deleteLater();
                if (!error.isEmpty())
                    return finishDownload(error);
                setProgress(1);
                install(payloadPath);
            });
    download->start(request);
}

void BinaryManager::setProgress(double progress)
{
    // Whole percents are enough for a progress bar and spare the views a redraw per packet.
    if (progress <= m_downloadProgress || (progress < 1 && progress - m_downloadProgress < 0.01))
        return;
    m_downloadProgress = progress;
    emit changed();
}

void BinaryManager::install(const QString &payloadPath)
{
    QPointer<BinaryManager> guard(this);
    // On a worker of the global pool; the outcome comes back through the queued call.
    QThreadPool::globalInstance()->start([installer = BinaryInstaller(m_paths), payloadPath, guard] {
        const auto failure = installer.install(payloadPath);
        const QString error = failure ? QStringLiteral("Installation failed: ") + *failure : QString();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, error] {
                if (guard)
                    guard->finishDownload(error);
            },
            Qt::QueuedConnection);
    });
}

void BinaryManager::finishDownload(const QString &error)
{
    if (error.isEmpty())
        storeBinaryPath(binaryInstallURL());
    m_downloadError = error;
    m_isDownloading = false;
    emit changed();
}

void BinaryManager::selectBinary(std::function<void(bool stored)> completion)
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenFile;
    request.title = QStringLiteral("Select Halvex Binary");
    request.message = QStringLiteral("Select Halvex binary");
    request.directory = QDir::homePath();
    m_fileChooser->choose(request, this, [this, completion = std::move(completion)](const QString &path) {
        if (path.isEmpty()) {
            if (completion)
                completion(false);
            return;
        }
        repairAndStore(path, completion);
    });
}

void BinaryManager::repairAndStore(const QString &path, const std::function<void(bool)> &completion)
{
    if (!QFileInfo(path).isFile())
        return reportSelection(QString(), QStringLiteral("Selected file does not exist"), completion);
    ExecutableRepair::removeQuarantine(path);
    if (isRunnable(path))
        return reportSelection(path, QString(), completion);

    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    const uint mode = ::stat(native.constData(), &status) == 0 ? status.st_mode & 07777 : 0;
    const bool modeSet = ::chmod(native.constData(), 0755) == 0;
    const QString description = modeSet ? QString() : qt_error_string(errno);
    // chmod can succeed on a file that still cannot run (a file system mounted noexec), so every
    // repair is judged by the file, not by the tool's exit status.
    if (isRunnable(path) || (ExecutableRepair::makeExecutable(path) && isRunnable(path)))
        return reportSelection(path, QString(), completion);
    const QString quotedPath = u'"' + path + u'"';
    if (modeSet)
        return reportSelection(QString(),
                               QStringLiteral("Cannot set execute permissions. Current permissions: ") +
                                   QString::number(mode, 8) + QStringLiteral(". Try running in Terminal: chmod +x ") +
                                   quotedPath,
                               completion);
    reportSelection(QString(),
                    QStringLiteral("Permissions error: ") + description + QStringLiteral(". Try: chmod +x ") +
                        quotedPath,
                    completion);
}

void BinaryManager::reportSelection(const QString &storedPath, const QString &error,
                                    const std::function<void(bool)> &completion)
{
    QMetaObject::invokeMethod(
        this,
        [this, storedPath, error, completion] {
            if (!storedPath.isEmpty())
                storeBinaryPath(storedPath);
            m_downloadError = error;
            emit changed();
            if (completion)
                completion(!storedPath.isEmpty());
        },
        Qt::QueuedConnection);
}

void BinaryManager::storeBinaryPath(const QString &path)
{
    m_settings->setBinaryPath(QUrl::fromLocalFile(path));
    m_settings->save();
}
