// SPDX-License-Identifier: MIT
#include "ArchiveExtractor.h"
#include "ArchiveLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <memory>

namespace {

struct ReaderFree
{
    const ArchiveLibrary *library;
    void operator()(archive *reader) const { library->archive_read_free(reader); }
};
struct WriterFree
{
    const ArchiveLibrary *library;
    void operator()(archive *writer) const { library->archive_write_free(writer); }
};

QString errorOf(const ArchiveLibrary &library, archive *handle)
{
    const char *text = library.archive_error_string(handle);
    return text ? QString::fromUtf8(text) : QStringLiteral("Unknown error");
}

QString entryName(const ArchiveLibrary &library, archive_entry *entry)
{
    if (const char *name = library.archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(name);
    const char *name = library.archive_entry_pathname(entry);
    return name ? QFile::decodeName(name) : QString();
}

} // namespace

ArchiveExtractor::ArchiveExtractor(qint64 sizeLimit)
    : m_sizeLimit(sizeLimit)
{}

bool ArchiveExtractor::staysInside(const QString &entryName)
{
    if (entryName.isEmpty() || entryName.startsWith(u'/'))
        return false;
    const QStringList parts = entryName.split(u'/');
    return !parts.contains(QStringLiteral(".."));
}

bool ArchiveExtractor::linkStaysInside(const QString &entryName, const QString &target)
{
    if (target.isEmpty() || target.startsWith(u'/'))
        return false;
    // After a name, ".." is taken from wherever that name leads on disk, which may be another
    // link; before every name it climbs the real directories that hold the link (nothing is
    // written through a link), so only leading ".." can be counted against the link's depth.
    qsizetype up = 0;
    bool named = false;
    for (const QString &part : target.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u'.')
            continue;
        if (part != QStringLiteral(".."))
            named = true;
        else if (named)
            return false;
        else
            ++up;
    }
    return up <= entryName.count(u'/');
}

std::optional<QString> ArchiveExtractor::extract(const QString &archivePath, PayloadFormat format,
                                                 const QString &directory) const
{
    // Every check below is relative to a root without symbolic links, which libarchive then
    // refuses to write through.
    const QString root = QFileInfo(directory).canonicalFilePath();
    if (root.isEmpty())
        return QStringLiteral("No extraction directory at %1").arg(directory);

    QString loadError;
    const ArchiveLibrary *library = ArchiveLibrary::instance(&loadError);
    if (!library)
        return QStringLiteral("libarchive could not be loaded: ") + loadError;
    const ArchiveLibrary &lib = *library;

    std::unique_ptr<archive, ReaderFree> reader(lib.archive_read_new(), ReaderFree{&lib});
    if (format == PayloadFormat::Zip) {
        lib.archive_read_support_format_zip(reader.get());
    } else {
        lib.archive_read_support_filter_gzip(reader.get());
        lib.archive_read_support_format_tar(reader.get());
    }
    if (lib.archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) !=
        ARCHIVE_OK)
        return errorOf(lib, reader.get());

    std::unique_ptr<archive, WriterFree> writer(lib.archive_write_disk_new(), WriterFree{&lib});
    lib.archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT);

    const auto tooLarge = [this] {
        return QStringLiteral("Unpacked size exceeds %1")
            .arg(QLocale::c().formattedDataSize(m_sizeLimit, 0, QLocale::DataSizeIecFormat));
    };
    // Each finished entry counts with the larger of its declared size and what was written
    // into it, so that neither a lying header nor the holes of a sparse entry slip through.
    qint64 unpacked = 0;
    archive_entry *entry = nullptr;
    for (int number = 1;; ++number) {
        const int next = lib.archive_read_next_header(reader.get(), &entry);
        if (next == ARCHIVE_EOF)
            break;
        if (next < ARCHIVE_WARN)
            return errorOf(lib, reader.get());

        const QString name = entryName(lib, entry);
        if (name.isEmpty())
            return QStringLiteral("Malformed archive: entry %1 has no name").arg(number);
        if (!staysInside(name))
            return QStringLiteral("Refusing entry outside the extraction directory: %1").arg(name);
        const QString clean = QDir::cleanPath(name);
        if (clean == u'.')
            continue;
        const auto type = lib.archive_entry_filetype(entry);
        if (type == AE_IFLNK) {
            const char *target = lib.archive_entry_symlink(entry);
            const QString linkTarget = target ? QFile::decodeName(target) : QString();
            if (!linkStaysInside(clean, linkTarget))
                return QStringLiteral("Refusing link that leaves the extraction directory: %1 -> %2")
                    .arg(name, linkTarget);
        } else if (const char *hardlink = lib.archive_entry_hardlink(entry)) {
            const QString target = QFile::decodeName(hardlink);
            if (!staysInside(target))
                return QStringLiteral("Refusing link that leaves the extraction directory: %1 -> %2").arg(name, target);
            const QString targetPath = root + u'/' + QDir::cleanPath(target);
            // A second name of a symbolic link resolves its target from another directory.
            if (QFileInfo(targetPath).isSymLink())
                return QStringLiteral("Refusing hard link to a symbolic link: %1 -> %2").arg(name, target);
            lib.archive_entry_copy_hardlink(entry, QFile::encodeName(targetPath).constData());
        } else if (type == AE_IFDIR) {
            // The owner must be able to look into and empty every directory, or the extraction
            // directory could never be removed again.
            lib.archive_entry_set_perm(entry, lib.archive_entry_perm(entry) | 0700);
        } else if (type == AE_IFREG) {
            lib.archive_entry_set_perm(entry, lib.archive_entry_perm(entry) | 0600);
        } else {
            // Devices, pipes and sockets have no place in a release; leave them out.
            continue;
        }
        lib.archive_entry_copy_pathname(entry, QFile::encodeName(root + u'/' + clean).constData());

        qint64 extent = lib.archive_entry_size_is_set(entry) ? qMax<qint64>(0, lib.archive_entry_size(entry)) : 0;
        if (extent > m_sizeLimit - unpacked)
            return tooLarge();
        if (lib.archive_write_header(writer.get(), entry) < ARCHIVE_WARN)
            return errorOf(lib, writer.get());
        qint64 read = 0;
        for (;;) {
            const void *block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = lib.archive_read_data_block(reader.get(), &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                return errorOf(lib, reader.get());
            if (offset < 0 || offset > m_sizeLimit || qint64(size) > m_sizeLimit)
                return tooLarge();
            read += qint64(size);
            extent = std::max({extent, read, qint64(offset) + qint64(size)});
            if (extent > m_sizeLimit - unpacked)
                return tooLarge();
            if (lib.archive_write_data_block(writer.get(), block, size, offset) < ARCHIVE_WARN)
                return errorOf(lib, writer.get());
        }
        unpacked += extent;
        if (lib.archive_write_finish_entry(writer.get()) < ARCHIVE_WARN)
            return errorOf(lib, writer.get());
    }
    if (lib.archive_write_close(writer.get()) < ARCHIVE_WARN)
        return errorOf(lib, writer.get());
    return std::nullopt;
}
