// SPDX-License-Identifier: MIT
#include "DataDirectories.h"

#include "core/AppSettings.h"
#include "core/InstanceName.h"
#include "core/StorageLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <utility>

namespace {

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Also true for a symbolic link, whether or not its target exists.
bool occupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

DataDirectories::DataDirectories(const AppSettings *settings)
    : m_settings(settings)
{}

DataDirectories::DataDirectories(QUrl location)
    : m_location(std::move(location))
{}

QString DataDirectories::markerName()
{
    return QStringLiteral(".halvex-kelvane-instance");
}

QString DataDirectories::path(const QString &name) const
{
    // Such a name could climb out of the storage location ("../x") or name the location itself.
    const QUrl location = m_settings ? m_settings->dataStorageLocation() : m_location;
    if (!InstanceName::isValid(name) || !StorageLocation::isValid(location))
        return {};
    return QDir::cleanPath(location.toLocalFile()) + u'/' + name;
}

bool DataDirectories::isOwn(const HalvexInstance &instance) const
{
    const QString directory = path(instance.name);
    if (directory.isEmpty())
        return false;
    // The application never makes links: a link, or a marker that is one, was put there by someone else.
    const QFileInfo info(directory);
    const QFileInfo marker(directory + u'/' + markerName());
    if (info.isSymLink() || !info.isDir() || marker.isSymLink() || !marker.isFile())
        return false;
    QFile file(marker.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return QUuid::fromString(QString::fromLatin1(file.read(64).trimmed())) == instance.id;
}

QStringList DataDirectories::create(const HalvexInstance &instance) const
{
    const QString directory = path(instance.name);
    const QString warning = QStringLiteral("⚠️ Warning: Could not create data directory: ");
    if (directory.isEmpty()) {
        if (!InstanceName::isValid(instance.name))
            return {warning + QStringLiteral("invalid instance name")};
        return {warning + StorageLocation::requirement()};
    }
    std::error_code error;
    const bool created = std::filesystem::create_directories(nativePath(directory), error);
    if (error) {
        QStringList lines{warning + QString::fromLocal8Bit(error.message()), QStringLiteral("Path: ") + directory};
        if (directory.contains(QStringLiteral("/Desktop/")) || directory.contains(QStringLiteral("/Documents/"))) {
            lines += QStringList{
                QStringLiteral("💡 Tip: Desktop and Documents folders require special permissions."),
                QStringLiteral("   Either:"),
                QStringLiteral("   1. Change data location to ~/Halvex in Settings"),
                QStringLiteral("   2. Grant Full Disk Access in System Settings > Privacy & Security"),
            };
        }
        return lines;
    }
    const QString success = QStringLiteral("✓ Data directory created: ") + directory;
    if (!created) {
        if (isOwn(instance))
            return {success};
        return {QStringLiteral("ℹ️ Data directory already existed and is used as it is: ") + directory};
    }
    QFile marker(directory + u'/' + markerName());
    if (marker.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
        marker.write(instance.id.toString(QUuid::WithoutBraces).toLatin1() + '\n') > 0 && marker.flush())
        return {success};
    // Unmarked, the directory counts as someone else's: safe, since it is then never removed.
    return {success,
            QStringLiteral("⚠️ Warning: Could not mark the data directory as created by Halvex Kelvane (") +
                marker.errorString() + QStringLiteral("); deleting the instance will keep it")};
}

DataDirectories::Removal DataDirectories::remove(const HalvexInstance &instance) const
{
    const QString directory = path(instance.name);
    if (directory.isEmpty() || !occupied(directory))
        return Removal::Missing;
    if (!isOwn(instance))
        return Removal::Kept;
    std::error_code error;
    std::filesystem::remove_all(nativePath(directory), error);
    return error ? Removal::Failed : Removal::Removed;
}

DataDirectories::Move DataDirectories::move(const HalvexInstance &instance, const QString &newName,
                                            QString *error) const
{
    const QString from = path(instance.name);
    const QString to = path(newName);
    if (from.isEmpty() || to.isEmpty() || !occupied(from))
        return Move::NothingToMove;
    if (occupied(to))
        return Move::TargetExists;
    std::error_code failure;
    std::filesystem::rename(nativePath(from), nativePath(to), failure);
    if (!failure)
        return Move::Moved;
    if (error)
        *error = QString::fromLocal8Bit(failure.message());
    return Move::Failed;
}
