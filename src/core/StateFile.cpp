// SPDX-License-Identifier: MIT
#include "StateFile.h"

#include "AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

StateFile::StateFile(QString path)
    : m_path(std::move(path))
{}

std::optional<QByteArray> StateFile::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void StateFile::markUndecodable(const QString &reason)
{
    m_undecodable = reason;
}

void StateFile::keepUndecodableAside()
{
    const QString reason = *std::exchange(m_undecodable, std::nullopt);
    const QString aside =
        m_path + QStringLiteral(".corrupt-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(m_path, aside)) {
        std::fprintf(stderr, "%s could not be read (%s) and was kept as %s\n", qPrintable(m_path), qPrintable(reason),
                     qPrintable(aside));
    }
}

bool StateFile::write(const QByteArray &bytes, QString *error)
{
    AppPaths::createPrivateDirectory(QFileInfo(m_path).absolutePath());
    if (m_undecodable)
        keepUndecodableAside();
    QString reason;
    if (writeAtomically(m_path, bytes, &reason))
        return true;
    if (error)
        *error = QStringLiteral("Could not save %1: %2").arg(QFileInfo(m_path).fileName(), reason);
    return false;
}

void StateFile::removeStaleTemporaries() const
{
    const QFileInfo file(m_path);
    // QSaveFile names its temporary file after the target, with six random letters. Told apart
    // without a pattern: compiling one cost more than the rest of the start-up's file checks.
    const QString prefix = file.fileName() + u'.';
    const auto isTemporary = [&prefix](const QString &name) {
        return name.size() == prefix.size() + 6 && name.startsWith(prefix) &&
               std::all_of(name.cbegin() + prefix.size(), name.cend(),
                           [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
    };
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addSecs(-60);
    QDirIterator entries(file.absolutePath(), QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    while (entries.hasNext()) {
        entries.next();
        if (!isTemporary(entries.fileName()))
            continue;
        const QFileInfo candidate = entries.fileInfo();
        if (candidate.ownerId() == ::geteuid() && candidate.lastModified() < staleBefore)
            QFile::remove(candidate.absoluteFilePath());
    }
}

bool StateFile::writeAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // QSaveFile creates its temporary file with the umask's permissions; tokens stay private.
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                    file.write(bytes) == bytes.size() && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}
