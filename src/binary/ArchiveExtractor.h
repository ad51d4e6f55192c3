// SPDX-License-Identifier: MIT
#pragma once

#include "PayloadFormat.h"

#include <QString>

#include <optional>

// Unpacks a ZIP or gzip-compressed tar archive into a directory, refusing every entry that would
// land outside it: absolute names, "..", and symbolic or hard links whose targets leave it. The
// unpacked size is bounded by the bytes actually written, whatever the headers claim. Unpacked
// directories and files keep owner rights, so that the directory can always be read and removed
// again.
class ArchiveExtractor
{
public:
    static constexpr qint64 defaultSizeLimit = qint64(1) << 30;

    explicit ArchiveExtractor(qint64 sizeLimit = defaultSizeLimit);

    // Unpacks into directory, which must exist. Returns the reason on failure; what was
    // unpacked before it stays.
    std::optional<QString> extract(const QString &archivePath, PayloadFormat format, const QString &directory) const;

    // Whether an entry name stays inside the directory it is unpacked into.
    static bool staysInside(const QString &entryName);
    // Whether a symbolic link of that name with that target points inside the directory.
    static bool linkStaysInside(const QString &entryName, const QString &target);

private:
    qint64 m_sizeLimit;
};
