// SPDX-License-Identifier: MIT
#include "ExecutableProbe.h"

#include "binary/ExecutableHeader.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <magic.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ExecutableProbe {

std::optional<QString> fileDescription(const QString &path)
{
    // The same database and rules as the file tool, in process: spawning the tool costs tens of
    // milliseconds of a launch, most of them spent loading this database again.
    static const magic_t magic = [] {
        magic_t handle = magic_open(MAGIC_NONE);
        if (handle && magic_load(handle, nullptr) != 0) {
            magic_close(handle);
            handle = nullptr;
        }
        return handle;
    }();
    if (!magic)
        return std::nullopt;

    struct stat info
    {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &info) != 0)
        return std::nullopt;
    // A file that has not changed since it was last described is described the same way.
    struct Described
    {
        dev_t device;
        ino_t inode;
        off_t size;
        timespec modified;
        timespec changed;
        std::optional<QString> description;
    };
    static QHash<QString, Described> described;
    const auto same = [&info](const Described &d) {
        return d.device == info.st_dev && d.inode == info.st_ino && d.size == info.st_size &&
               d.modified.tv_sec == info.st_mtim.tv_sec && d.modified.tv_nsec == info.st_mtim.tv_nsec &&
               d.changed.tv_sec == info.st_ctim.tv_sec && d.changed.tv_nsec == info.st_ctim.tv_nsec;
    };
    if (const auto found = described.constFind(path); found != described.cend() && same(*found))
        return found->description;

    std::optional<QString> description;
    if (const char *text = magic_file(magic, native.constData())) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder.decode(QByteArrayView(text));
        if (!decoder.hasError())
            description = decoded.trimmed();
    }
    described.insert(path, {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim, description});
    return description;
}

std::optional<QString> notRegularFile(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return std::nullopt;
    switch (info.st_mode & S_IFMT) {
    case S_IFDIR:
        return QStringLiteral("a directory");
    case S_IFIFO:
        return QStringLiteral("a named pipe");
    case S_IFSOCK:
        return QStringLiteral("a socket");
    case S_IFCHR:
        return QStringLiteral("a character device");
    case S_IFBLK:
        return QStringLiteral("a block device");
    default:
        return QStringLiteral("not a regular file");
    }
}

QString architectures(const QString &path)
{
    return ExecutableHeader::read(path).architectures();
}

std::optional<QString> permissions(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return QString::number(info.st_mode & 07777, 8);
}

bool isExecutable(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

} // namespace ExecutableProbe
