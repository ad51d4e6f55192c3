// SPDX-License-Identifier: MIT
#include "ArchiveBuilder.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>

QByteArray buildArchive(PayloadFormat format, const QList<ArchiveEntry> &entries)
{
    archive *writer = archive_write_new();
    if (format == PayloadFormat::Zip) {
        archive_write_set_format_zip(writer);
    } else {
        archive_write_set_format_pax_restricted(writer);
        archive_write_add_filter_gzip(writer);
    }
    QByteArray buffer(8 << 20, '\0');
    size_t used = 0;
    archive_write_open_memory(writer, buffer.data(), size_t(buffer.size()), &used);
    for (const ArchiveEntry &item : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_copy_pathname(entry, item.name.toUtf8().constData());
        archive_entry_set_perm(entry, item.permissions);
        if (item.type == ArchiveEntry::Type::Directory) {
            archive_entry_set_filetype(entry, AE_IFDIR);
        } else if (item.type == ArchiveEntry::Type::Symlink) {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_copy_symlink(entry, item.target.toUtf8().constData());
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            if (item.type == ArchiveEntry::Type::Hardlink)
                archive_entry_copy_hardlink(entry, item.target.toUtf8().constData());
            else
                archive_entry_set_size(entry, std::max(item.apparentSize, qint64(item.content.size())));
            if (item.apparentSize > item.content.size()) {
                archive_entry_sparse_add_entry(entry, 0, item.content.size());
                archive_entry_sparse_add_entry(entry, item.apparentSize - 1, 0);
            }
        }
        archive_write_header(writer, entry);
        archive_write_data(writer, item.content.constData(), size_t(item.content.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    buffer.truncate(qsizetype(used));
    return buffer;
}
