// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One of the application's own JSON files. Writes replace the file atomically with mode 0600.
// A file whose content could not be decoded is moved aside once, as
// <name>.corrupt-<yyyyMMdd-HHmmss>, before the first write would replace it.
class StateFile
{
public:
    explicit StateFile(QString path);

    const QString &path() const { return m_path; }

    // The whole file, or nothing when it is missing or unreadable.
    std::optional<QByteArray> read() const;
    // The reason is told on stderr when the file is moved aside.
    void markUndecodable(const QString &reason);
    // Creates the file's directory (mode 0700) again first if it has gone since the start. On
    // failure, error holds a sentence for the user: "Could not save <name>: <reason>".
    bool write(const QByteArray &bytes, QString *error = nullptr);
    // A write cut short (the process killed before its commit) leaves its temporary file,
    // <name>.XXXXXX, next to the file for ever, tokens and all. Removes those of this user that
    // have not changed for a minute: a newer one may be another process's write in progress.
    void removeStaleTemporaries() const;

    // Atomic replace with owner-only permissions, for any file that holds tokens.
    static bool writeAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

private:
    void keepUndecodableAside();

    QString m_path;
    std::optional<QString> m_undecodable;
};
