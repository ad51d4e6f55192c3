#include "ExecutableInspector.h"

#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int fileToolTimeoutMs = 3000;

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

namespace ExecutableInspector {

std::optional<QString> fileDescription(const QString &path)
{
    QProcess file;
    file.setProcessChannelMode(QProcess::SeparateChannels);
    file.start(QStringLiteral("/usr/bin/file"), {QStringLiteral("-b"), path});
    if (!file.waitForFinished(fileToolTimeoutMs)) {
        file.kill();
        file.waitForFinished();
        return std::nullopt;
    }
    if (file.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(file.readAllStandardOutput());
    if (decoder.hasError())
        return std::nullopt;
    return text.trimmed();
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

} // namespace ExecutableInspector
