// SPDX-License-Identifier: MIT
#include "StateFile.h"

#include "AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

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
    // QSaveFile names its temporary file after the target, with six random letters.
    const QRegularExpression temporary(QRegularExpression::anchoredPattern(QRegularExpression::escape(file.fileName()) +
                                                                           QStringLiteral("\\.[A-Za-z]{6}")));
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList candidates = file.absoluteDir().entryInfoList({file.fileName() + QStringLiteral(".??????")},
                                                                      QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &candidate : candidates) {
        if (temporary.match(candidate.fileName()).hasMatch() && candidate.ownerId() == ::geteuid() &&
            candidate.lastModified() < staleBefore)
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
