// SPDX-License-Identifier: MIT
#include "BinaryInstaller.h"

#include "ArchiveExtractor.h"
#include "ExecutableFormat.h"
#include "ExecutableHeader.h"
#include "ExecutableRepair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <variant>

namespace fs = std::filesystem;

namespace {

void print(const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

fs::path nativePath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString describe(const std::error_code &error)
{
    return QString::fromLocal8Bit(error.message());
}

// Replaces to atomically, so a running or configured executable is never half written.
std::optional<QString> moveOver(const QString &from, const QString &to)
{
    std::error_code error;
    fs::rename(nativePath(from), nativePath(to), error);
    if (error)
        return describe(error);
    return std::nullopt;
}

// Removes a tree even where an archive left directories without rights for their owner, so
// that one odd archive cannot block every later install.
std::error_code removeTree(const fs::path &path)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error)
        return error == std::errc::no_such_file_or_directory ? std::error_code() : error;
    if (fs::is_directory(status)) {
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
        for (fs::directory_iterator entry(path, error), end; !error && entry != end; entry.increment(error))
            if (const std::error_code failed = removeTree(entry->path()))
                return failed;
        if (error)
            return error;
    }
    fs::remove(path, error);
    return error;
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

QString notNative(const QString &what, const QString &found)
{
    return QStringLiteral("%1 is not a valid %2 binary: %3").arg(what, ExecutableFormat::platformName(), found);
}

void printVerified()
{
    print(QStringLiteral("✅ Binary format verified as ") + ExecutableFormat::nativeName());
}

// Among the unpacked files whose names contain "halvex", the one that runs on this machine,
// preferring the name "halvex" itself, then the shallowest; else why none qualifies.
std::variant<QFileInfo, QString> chooseExecutable(const QString &directory, const QList<QFileInfo> &candidates)
{
    const QDir root(directory);
    const auto rank = [&root](const QFileInfo &file) {
        const bool exact = file.fileName().compare(QStringLiteral("halvex"), Qt::CaseInsensitive) == 0;
        return std::pair(!exact, root.relativeFilePath(file.filePath()).count(u'/'));
    };
    const QFileInfo *best = nullptr;
    QStringList refused;
    for (const QFileInfo &file : candidates) {
        const ExecutableHeader header = ExecutableHeader::read(file.filePath());
        if (!header.runsHere())
            refused.append(root.relativeFilePath(file.filePath()) + QStringLiteral(" (") + header.description() + u')');
        else if (!best || rank(file) < rank(*best))
            best = &file;
    }
    if (best)
        return *best;
    if (refused.size() == 1)
        return notNative(QStringLiteral("Extracted file"), refused.first());
    return QStringLiteral("No extracted file is a valid %1 binary: %2")
        .arg(ExecutableFormat::platformName(), refused.join(QStringLiteral(", ")));
}

} // namespace

BinaryInstaller::BinaryInstaller(AppPaths paths)
    : m_paths(std::move(paths))
{}

std::optional<QString> BinaryInstaller::install(const QString &payloadPath) const
{
    // Whatever the outcome, the installed executable is all that stays.
    const auto cleanUp = qScopeGuard([this, &payloadPath] {
        QFile::remove(payloadPath);
        removeTree(nativePath(m_paths.extractionDirectory()));
    });
    QFile payload(payloadPath);
    if (!payload.open(QIODevice::ReadOnly))
        return payload.errorString();
    const PayloadFormat format = detectPayloadFormat(payload.read(8));
    payload.close();

    const QString installPath = m_paths.binaryInstallPath();
    const QString staged = installPath + QStringLiteral(".new");
    if (format == PayloadFormat::Bare) {
        const ExecutableHeader header = ExecutableHeader::read(payloadPath);
        if (!header.runsHere())
            return notNative(QStringLiteral("Downloaded file"), header.description());
        printVerified();
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
    std::error_code error = removeTree(nativePath(directory));
    if (!error)
        fs::create_directories(nativePath(directory), error);
    if (error)
        return describe(error);

    print(format == PayloadFormat::Zip ? QStringLiteral("📦 Detected ZIP archive")
                                       : QStringLiteral("📦 Detected GZIP/TAR.GZ archive"));
    if (auto failure = ArchiveExtractor().extract(payloadPath, format, directory))
        return QStringLiteral("Failed to extract archive: ") + *failure;

    const QList<QFileInfo> files = regularFiles(directory);
    QStringList names;
    QStringList quoted;
    QList<QFileInfo> candidates;
    for (const QFileInfo &file : files) {
        names.append(file.fileName());
        quoted.append(u'"' + file.fileName() + u'"');
        if (file.fileName().contains(QStringLiteral("halvex"), Qt::CaseInsensitive))
            candidates.append(file);
    }
    print(QStringLiteral("📦 All extracted files: [") + quoted.join(QStringLiteral(", ")) + u']');
    if (candidates.isEmpty())
        return QStringLiteral("Binary 'halvex' not found in zip. Found: ") + names.join(QStringLiteral(", "));

    const auto chosen = chooseExecutable(directory, candidates);
    if (const auto *why = std::get_if<QString>(&chosen))
        return *why;
    const QFileInfo &found = std::get<QFileInfo>(chosen);
    print(QStringLiteral("🎯 Found binary: %1 at %2").arg(found.fileName(), found.filePath()));
    printVerified();
    return moveOver(found.filePath(), staged);
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
