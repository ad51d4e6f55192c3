// SPDX-License-Identifier: MIT
#pragma once

#include "binary/PayloadFormat.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Archives for the tests, written with libarchive.
struct ArchiveEntry
{
    enum class Type { File, Symlink, Hardlink, Directory };
    QString name;
    QByteArray content;
    Type type = Type::File;
    QString target;
    int permissions = 0644;
    // Larger than the content: a sparse file of that size, with the content at its start.
    qint64 apparentSize = -1;

    static ArchiveEntry file(const QString &name, const QByteArray &content = "x")
    {
        return {name, content, Type::File, {}};
    }
    static ArchiveEntry file(const QString &name, int permissions) { return {name, "x", Type::File, {}, permissions}; }
    static ArchiveEntry sparse(const QString &name, qint64 apparentSize)
    {
        return {name, "x", Type::File, {}, 0644, apparentSize};
    }
    static ArchiveEntry directory(const QString &name, int permissions)
    {
        return {name, {}, Type::Directory, {}, permissions};
    }
    static ArchiveEntry symlink(const QString &name, const QString &target)
    {
        return {name, {}, Type::Symlink, target};
    }
    static ArchiveEntry hardlink(const QString &name, const QString &target)
    {
        return {name, {}, Type::Hardlink, target};
    }
};

QByteArray buildArchive(PayloadFormat format, const QList<ArchiveEntry> &entries);
