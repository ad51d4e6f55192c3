// SPDX-License-Identifier: MIT
#include "FileContents.h"

#include <QFile>

FileContents::FileContents(QByteArray bytes)
    : m_read(std::move(bytes))
    , m_bytes(m_read)
{}

std::optional<FileContents> FileContents::open(const QString &path)
{
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return std::nullopt;
    // An empty file has nothing to map, and a pipe or a device no size to map.
    if (const qint64 size = file->size(); size > 0) {
        if (const uchar *mapped = file->map(0, size)) {
            FileContents contents;
            contents.m_bytes = QByteArrayView(mapped, size);
            contents.m_mapped = std::move(file);
            return contents;
        }
    }
    return FileContents(file->readAll());
}
