// SPDX-License-Identifier: MIT
#include "AppPaths.h"

#include "core/InstallLayout.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>

AppPaths::AppPaths(QString directory)
    : m_directory(std::move(directory))
{}

AppPaths AppPaths::standard()
{
    return AppPaths(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/HalvexKelvane"));
}

std::optional<QString> AppPaths::bundledServer(const QString &applicationDir)
{
    const QFileInfo server(
        QDir::cleanPath(QDir(applicationDir).filePath(QStringLiteral(HALVEX_BUNDLED_SERVER_FROM_APP_DIR))));
    if (!server.isFile() || !server.isExecutable())
        return std::nullopt;
    return server.filePath();
}

void AppPaths::createPrivateDirectory(const QString &directory)
{
    if (QFileInfo::exists(directory))
        return;
    QDir().mkpath(QFileInfo(directory).absolutePath());
    ::mkdir(QFile::encodeName(directory).constData(), 0700);
}

QString AppPaths::directory() const
{
    createPrivateDirectory(m_directory);
    return m_directory;
}

QString AppPaths::file(const QString &name) const
{
    return directory() + u'/' + name;
}

QString AppPaths::settingsFile() const
{
    return file(QStringLiteral("settings.json"));
}

QString AppPaths::registryFile() const
{
    return file(QStringLiteral("instances.json"));
}

QString AppPaths::binaryInstallPath() const
{
    return file(QStringLiteral("halvex"));
}

QString AppPaths::extractionDirectory() const
{
    return file(QStringLiteral("extract_temp"));
}
