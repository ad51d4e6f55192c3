// SPDX-License-Identifier: MIT
#include "ExecutableProbe.h"

#include "MagicLibrary.h"
#include "binary/ExecutableHeader.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QStringDecoder>

#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// A description, with what the file was like when it was read.
struct Described
{
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    timespec changed;
    std::optional<QString> description;

    bool sameFile(const struct stat &info) const
    {
        return device == info.st_dev && inode == info.st_ino && size == info.st_size &&
               modified.tv_sec == info.st_mtim.tv_sec && modified.tv_nsec == info.st_mtim.tv_nsec &&
               changed.tv_sec == info.st_ctim.tv_sec && changed.tv_nsec == info.st_ctim.tv_nsec;
    }
};

// With a handle that openDatabase() gave, so the library is loaded.
std::optional<Described> describe(magic_t magic, const QByteArray &native)
{
    struct stat info
    {};
    if (::stat(native.constData(), &info) != 0)
        return std::nullopt;
    std::optional<QString> description;
    if (const char *text = MagicLibrary::instance()->magic_file(magic, native.constData())) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString decoded = decoder.decode(QByteArrayView(text));
        if (!decoder.hasError())
            description = decoded.trimmed();
    }
    return Described{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim, description};
}

magic_t openDatabase()
{
    const MagicLibrary *library = MagicLibrary::instance();
    if (!library)
        return nullptr;
    magic_t magic = library->magic_open(MAGIC_NONE);
    if (magic && library->magic_load(magic, nullptr) != 0) {
        library->magic_close(magic);
        magic = nullptr;
    }
    return magic;
}

// The database of the descriptions asked for, loaded on a thread of its own.
const std::shared_future<magic_t> &database()
{
    static const std::shared_future<magic_t> loaded = std::async(std::launch::async, openDatabase).share();
    return loaded;
}

// Descriptions being read on threads of their own, by path.
QHash<QString, std::shared_future<std::optional<Described>>> &underWay()
{
    static QHash<QString, std::shared_future<std::optional<Described>>> descriptions;
    return descriptions;
}

QHash<QString, Described> &described()
{
    static QHash<QString, Described> descriptions;
    return descriptions;
}

// Guards the two tables above: the settings' thread prepares, the launches' thread describes.
QMutex &tables()
{
    static QMutex mutex;
    return mutex;
}

} // namespace

namespace ExecutableProbe {

void prepare(const QString &path)
{
    database();
    const QMutexLocker locker(&tables());
    if (path.isEmpty() || underWay().contains(path) || described().contains(path))
        return;
    auto reading = std::async(std::launch::async, [native = QFile::encodeName(path)] {
        // A handle of its own: one handle is not safe to use from two threads.
        const magic_t magic = openDatabase();
        if (!magic)
            return std::optional<Described>();
        auto description = describe(magic, native);
        MagicLibrary::instance()->magic_close(magic);
        return description;
    });
    underWay().insert(path, reading.share());
}

std::optional<QString> fileDescription(const QString &path)
{
    // The same database and rules as the file tool, in process: spawning the tool costs tens of
    // milliseconds of a launch, most of them spent loading this database again.
    const magic_t magic = database().get();
    if (!magic)
        return std::nullopt;
    const QMutexLocker locker(&tables());
    if (const auto reading = underWay().take(path); reading.valid() && reading.get())
        described().insert(path, *reading.get());

    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {};
    if (::stat(native.constData(), &info) != 0)
        return std::nullopt;
    // A file that has not changed since it was last described is described the same way.
    if (const auto found = described().constFind(path); found != described().cend() && found->sameFile(info))
        return found->description;
    const auto fresh = describe(magic, native);
    if (!fresh)
        return std::nullopt;
    described().insert(path, *fresh);
    return fresh->description;
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
