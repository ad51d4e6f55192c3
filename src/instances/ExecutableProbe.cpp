// SPDX-License-Identifier: MIT
#include "ExecutableProbe.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

#include <magic.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString elfMachineName(quint16 machine)
{
    switch (machine) {
    case 3:
        return QStringLiteral("i386");
    case 20:
        return QStringLiteral("ppc");
    case 21:
        return QStringLiteral("ppc64");
    case 40:
        return QStringLiteral("arm");
    case 62:
        return QStringLiteral("x86_64");
    case 183:
        return QStringLiteral("arm64");
    case 243:
        return QStringLiteral("riscv64");
    default:
        return QString();
    }
}

QString machOCpuName(quint32 cpuType)
{
    switch (cpuType) {
    case 0x00000007:
        return QStringLiteral("i386");
    case 0x01000007:
        return QStringLiteral("x86_64");
    case 0x0000000C:
        return QStringLiteral("arm");
    case 0x0100000C:
        return QStringLiteral("arm64");
    case 0x00000012:
        return QStringLiteral("ppc");
    case 0x01000012:
        return QStringLiteral("ppc64");
    default:
        return QString();
    }
}

QString elfArchitectures(const QByteArray &header)
{
    if (header.size() < 20)
        return QString();
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const bool bigEndian = bytes[5] == 2; // EI_DATA
    const quint16 machine = bigEndian ? qFromBigEndian<quint16>(bytes + 18) : qFromLittleEndian<quint16>(bytes + 18);
    return elfMachineName(machine);
}

QString fatArchitectures(const QByteArray &header, bool is64)
{
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    const quint32 count = qFromBigEndian<quint32>(bytes + 4);
    const qsizetype entrySize = is64 ? 32 : 20;
    // A Java class file shares the magic number; its version makes an implausible count.
    if (count == 0 || count > 16 || header.size() < 8 + qsizetype(count) * entrySize)
        return QString();
    QStringList names;
    for (quint32 i = 0; i < count; ++i) {
        const QString name = machOCpuName(qFromBigEndian<quint32>(bytes + 8 + i * entrySize));
        if (!name.isEmpty())
            names.append(name);
    }
    return names.join(u' ');
}

} // namespace

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

QString architectures(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray header = file.read(8 + 16 * 32);
    if (header.startsWith("\x7F"
                          "ELF"))
        return elfArchitectures(header);
    if (header.size() >= 8) {
        const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
        const quint32 magic = qFromLittleEndian<quint32>(bytes);
        if (magic == 0xFEEDFACE || magic == 0xFEEDFACF)
            return machOCpuName(qFromLittleEndian<quint32>(bytes + 4));
        const quint32 fatMagic = qFromBigEndian<quint32>(bytes);
        if (fatMagic == 0xCAFEBABE || fatMagic == 0xCAFEBABF)
            return fatArchitectures(header, fatMagic == 0xCAFEBABF);
    }
    return QString();
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
