// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

class QFile;

// A file's contents, mapped into memory where the file system allows it and read otherwise.
// Reading copies the bytes into memory fresh from the system, at a page fault per 4 KB: for a
// registry of thousands of records, milliseconds of the start-up. A mapping shares the pages the
// system already caches. Copies share the contents, which stay valid while any copy lives.
//
// A mapping sees a file shrink under it only if the file is rewritten in place; the application's
// own files are always replaced whole.
class FileContents
{
public:
    FileContents() = default;
    explicit FileContents(QByteArray bytes);
    // Nothing when the file is missing or unreadable.
    static std::optional<FileContents> open(const QString &path);

    QByteArrayView bytes() const { return m_bytes; }

private:
    std::shared_ptr<QFile> m_mapped;
    QByteArray m_read;
    QByteArrayView m_bytes;
};
