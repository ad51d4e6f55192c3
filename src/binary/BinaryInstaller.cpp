// SPDX-License-Identifier: MIT
#include "BinaryInstaller.h"

#include "ArchiveExtractor.h"
#include "ExecutableFormat.h"
#include "ExecutableRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace {

void print(const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Replaces to atomically, so a running or configured executable is never half written.
std::optional<QString> moveOver(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(nativePath(from), nativePath(to), error);
    if (error)
        return QString::fromLocal8Bit(error.message());
    return std::nullopt;
}

// Regular files below directory, depth first, names in byte order so that the choice among
// several candidates does not depend on the file system. Links are not regular files.
QList<QFileInfo> regularFiles(const QString &directory)
{
    QList<QFileInfo> files;
    const auto entries = QDir(directory).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            files += regularFiles(entry.filePath());
        else if (entry.isFile())
            files.append(entry);
    }
    return files;
}

std::optional<QString> verify(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    if (!ExecutableFormat::isNative(file.read(8)))
        return QStringLiteral("Extracted file is not a valid %1 binary").arg(ExecutableFormat::platformName());
    print(QStringLiteral("✅ Binary format verified as ") + ExecutableFormat::nativeName());
    return std::nullopt;
}

} // namespace

BinaryInstaller::BinaryInstaller(AppPaths paths)
    : m_paths(std::move(paths))
{}

std::optional<QString> BinaryInstaller::install(const QString &payloadPath) const
{
    const auto removePayload = qScopeGuard([&payloadPath] { QFile::remove(payloadPath); });
    QFile payload(payloadPath);
    if (!payload.open(QIODevice::ReadOnly))
        return payload.errorString();
    const PayloadFormat format = detectPayloadFormat(payload.read(8));
    payload.close();

    const QString installPath = m_paths.binaryInstallPath();
    const QString staged = installPath + QStringLiteral(".new");
    if (format == PayloadFormat::Bare) {
        if (auto failure = verify(payloadPath))
            return failure;
        if (auto failure = moveOver(payloadPath, staged))
            return failure;
    } else if (auto failure = unpack(payloadPath, format, staged)) {
        return failure;
    }
    auto failure = makeRunnable(staged);
    if (!failure)
        failure = moveOver(staged, installPath);
    if (failure)
        QFile::remove(staged);
    return failure;
}

std::optional<QString> BinaryInstaller::unpack(const QString &payloadPath, PayloadFormat format,
                                               const QString &staged) const
{
    const QString directory = m_paths.extractionDirectory();
    std::error_code error;
    std::filesystem::remove_all(nativePath(directory), error);
    if (!error)
        std::filesystem::create_directories(nativePath(directory), error);
    if (error)
        return QString::fromLocal8Bit(error.message());

    print(format == PayloadFormat::Zip ? QStringLiteral("📦 Detected ZIP archive")
                                       : QStringLiteral("📦 Detected GZIP/TAR.GZ archive"));
    if (auto failure = ArchiveExtractor().extract(payloadPath, format, directory))
        return QStringLiteral("Failed to extract archive: ") + *failure;

    const QList<QFileInfo> files = regularFiles(directory);
    QStringList names;
    QStringList quoted;
    for (const QFileInfo &file : files) {
        names.append(file.fileName());
        quoted.append(u'"' + file.fileName() + u'"');
    }
    print(QStringLiteral("📦 All extracted files: [") + quoted.join(QStringLiteral(", ")) + u']');
    const auto found = std::find_if(files.cbegin(), files.cend(), [](const QFileInfo &file) {
        return file.fileName().toLower().contains(QStringLiteral("halvex"));
    });
    if (found == files.cend())
        return QStringLiteral("Binary 'halvex' not found in zip. Found: ") + names.join(QStringLiteral(", "));
    print(QStringLiteral("🎯 Found binary: %1 at %2").arg(found->fileName(), found->filePath()));

    if (auto failure = verify(found->filePath()))
        return failure;
    if (auto failure = moveOver(found->filePath(), staged))
        return failure;
    std::filesystem::remove_all(nativePath(directory), error);
    return std::nullopt;
}

std::optional<QString> BinaryInstaller::makeRunnable(const QString &staged) const
{
    ExecutableRepair::removeQuarantine(staged);
    if (::chmod(QFile::encodeName(staged).constData(), 0755) != 0)
        return qt_error_string(errno);
    if (!QFileInfo(staged).isExecutable())
        ExecutableRepair::makeExecutable(staged);
    if (!QFileInfo(staged).isExecutable())
        return QStringLiteral("Cannot make the executable runnable at %1").arg(m_paths.directory());
    return std::nullopt;
}
