// SPDX-License-Identifier: MIT
#pragma once

#include "PayloadFormat.h"

#include <QString>

#include <optional>

// Unpacks a ZIP or gzip-compressed tar archive into a directory, refusing every entry that would
// land outside it: absolute names, "..", symbolic links whose targets leave it or climb out of
// another link, and hard links to outside or to a symbolic link. Refused entries are never
// written. The unpacked size is bounded by what the headers declare and by what is written,
// holes of sparse entries included. Unpacked directories and files keep owner rights, so that
// the directory can always be read and removed again.
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
    // Whether a symbolic link of that (clean) name with that target points inside the directory,
    // whatever other links it passes through.
    static bool linkStaysInside(const QString &entryName, const QString &target);

private:
    qint64 m_sizeLimit;
};
