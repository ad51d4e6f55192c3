#include "ArchiveExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

struct ReaderFree
{
    void operator()(archive *reader) const { archive_read_free(reader); }
};
struct WriterFree
{
    void operator()(archive *writer) const { archive_write_free(writer); }
};

QString errorOf(archive *handle)
{
    const char *text = archive_error_string(handle);
    return text ? QString::fromUtf8(text) : QStringLiteral("Unknown error");
}

QString entryName(archive_entry *entry)
{
    if (const char *name = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(name);
    const char *name = archive_entry_pathname(entry);
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
    const qsizetype slash = entryName.lastIndexOf(u'/');
    const QString resolved = QDir::cleanPath(entryName.left(slash + 1) + target);
    return resolved != QStringLiteral("..") && !resolved.startsWith(QStringLiteral("../"));
}

std::optional<QString> ArchiveExtractor::extract(const QString &archivePath, PayloadFormat format,
                                                 const QString &directory) const
{
    // Every check below is relative to a root without symbolic links, which libarchive then
    // refuses to write through.
    const QString root = QFileInfo(directory).canonicalFilePath();
    if (root.isEmpty())
        return QStringLiteral("No extraction directory at %1").arg(directory);

    std::unique_ptr<archive, ReaderFree> reader(archive_read_new());
    if (format == PayloadFormat::Zip) {
        archive_read_support_format_zip(reader.get());
    } else {
        archive_read_support_filter_gzip(reader.get());
        archive_read_support_format_tar(reader.get());
    }
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) != ARCHIVE_OK)
        return errorOf(reader.get());

    std::unique_ptr<archive, WriterFree> writer(archive_write_disk_new());
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT);

    qint64 written = 0;
    archive_entry *entry = nullptr;
    for (;;) {
        const int next = archive_read_next_header(reader.get(), &entry);
        if (next == ARCHIVE_EOF)
            break;
        if (next < ARCHIVE_WARN)
            return errorOf(reader.get());

        const QString name = entryName(entry);
        if (!staysInside(name))
            return QStringLiteral("Refusing entry outside the extraction directory: %1").arg(name);
        const QString clean = QDir::cleanPath(name);
        if (clean == u'.')
            continue;
        const auto type = archive_entry_filetype(entry);
        if (type == AE_IFLNK) {
            const char *target = archive_entry_symlink(entry);
            const QString linkTarget = target ? QFile::decodeName(target) : QString();
            if (!linkStaysInside(clean, linkTarget))
                return QStringLiteral("Refusing link that leaves the extraction directory: %1 -> %2")
                    .arg(name, linkTarget);
        } else if (const char *hardlink = archive_entry_hardlink(entry)) {
            const QString target = QFile::decodeName(hardlink);
            if (!staysInside(target))
                return QStringLiteral("Refusing link that leaves the extraction directory: %1 -> %2").arg(name, target);
            archive_entry_copy_hardlink(entry, QFile::encodeName(root + u'/' + QDir::cleanPath(target)).constData());
        } else if (type != AE_IFREG && type != AE_IFDIR) {
            // Devices, pipes and sockets have no place in a release; leave them out.
            continue;
        }
        archive_entry_copy_pathname(entry, QFile::encodeName(root + u'/' + clean).constData());

        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN)
            return errorOf(writer.get());
        for (;;) {
            const void *block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int read = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (read == ARCHIVE_EOF)
                break;
            if (read < ARCHIVE_WARN)
                return errorOf(reader.get());
            written += qint64(size);
            if (written > m_sizeLimit)
                return QStringLiteral("Unpacked size exceeds %1")
                    .arg(QLocale::c().formattedDataSize(m_sizeLimit, 0, QLocale::DataSizeIecFormat));
            if (archive_write_data_block(writer.get(), block, size, offset) < ARCHIVE_WARN)
                return errorOf(writer.get());
        }
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN)
            return errorOf(writer.get());
    }
    if (archive_write_close(writer.get()) < ARCHIVE_WARN)
        return errorOf(writer.get());
    return std::nullopt;
}
