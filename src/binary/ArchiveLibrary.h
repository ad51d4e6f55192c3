// SPDX-License-Identifier: MIT
#pragma once

#include "platform/OnDemandLibrary.h"

#include <archive.h>
#include <archive_entry.h>

// The functions of libarchive that unpacking uses, resolved when an archive is first unpacked.
// Loading libarchive and the libraries it needs costs milliseconds and memory at every start,
// for a download that most starts never make.
struct ArchiveLibrary
{
#define HALVEX_ARCHIVE_FUNCTIONS(X)                                                                                    \
    X(archive_entry_copy_hardlink)                                                                                     \
    X(archive_entry_copy_pathname)                                                                                     \
    X(archive_entry_filetype)                                                                                          \
    X(archive_entry_hardlink)                                                                                          \
    X(archive_entry_pathname)                                                                                          \
    X(archive_entry_pathname_utf8)                                                                                     \
    X(archive_entry_perm)                                                                                              \
    X(archive_entry_set_perm)                                                                                          \
    X(archive_entry_size)                                                                                              \
    X(archive_entry_size_is_set)                                                                                       \
    X(archive_entry_symlink)                                                                                           \
    X(archive_error_string)                                                                                            \
    X(archive_read_data_block)                                                                                         \
    X(archive_read_free)                                                                                               \
    X(archive_read_new)                                                                                                \
    X(archive_read_next_header)                                                                                        \
    X(archive_read_open_filename)                                                                                      \
    X(archive_read_support_filter_gzip)                                                                                \
    X(archive_read_support_format_tar)                                                                                 \
    X(archive_read_support_format_zip)                                                                                 \
    X(archive_write_close)                                                                                             \
    X(archive_write_data_block)                                                                                        \
    X(archive_write_disk_new)                                                                                          \
    X(archive_write_disk_set_options)                                                                                  \
    X(archive_write_finish_entry)                                                                                      \
    X(archive_write_free)                                                                                              \
    X(archive_write_header)
    HALVEX_ARCHIVE_FUNCTIONS(HALVEX_LIBRARY_DECLARE)

    static constexpr const char *fileName = "archive";
    static constexpr int version = 13; // libarchive.so.13, the ABI of libarchive 3
    bool resolve(QLibrary &library)
    {
        return true HALVEX_ARCHIVE_FUNCTIONS(HALVEX_LIBRARY_RESOLVE);
    }

    // The library, loaded once (safe from any thread), or nothing with the reason in error.
    static const ArchiveLibrary *instance(QString *error)
    {
        return OnDemandLibrary::load<ArchiveLibrary>(error);
    }
};
