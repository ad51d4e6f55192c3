// SPDX-License-Identifier: MIT
#include "ExecutableHeader.h"

#include <QFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough for a universal file of 16 architectures, more than any release holds.
constexpr qsizetype headSize = 8 + 16 * 32;

struct Architecture
{
    quint16 elfMachine;
    quint32 machOCpu;
    const char *name;    // as lipo names it
    const char *elfName; // as uname -m names it
};

constexpr Architecture architectureTable[] = {
    {3, 0x00000007, "i386", "i386"}, {20, 0x00000012, "ppc", "ppc"},       {21, 0x01000012, "ppc64", "ppc64"},
    {40, 0x0000000C, "arm", "arm"},  {62, 0x01000007, "x86_64", "x86_64"}, {183, 0x0100000C, "arm64", "aarch64"},
    {243, 0, "riscv64", "riscv64"},
};

const Architecture *elfArchitecture(quint32 machine)
{
    for (const Architecture &architecture : architectureTable)
        if (architecture.elfMachine == machine)
            return &architecture;
    return nullptr;
}

const Architecture *machOArchitecture(quint32 cpu)
{
    for (const Architecture &architecture : architectureTable)
        if (architecture.machOCpu == cpu && cpu != 0)
            return &architecture;
    return nullptr;
}

QString machOName(quint32 cpu)
{
    const Architecture *architecture = machOArchitecture(cpu);
    return architecture ? QString::fromLatin1(architecture->name)
                        : QStringLiteral("CPU type 0x") + QString::number(cpu, 16);
}

quint32 u32(const QByteArray &head, qsizetype at, QSysInfo::Endian order)
{
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData()) + at;
    return order == QSysInfo::BigEndian ? qFromBigEndian<quint32>(bytes) : qFromLittleEndian<quint32>(bytes);
}

} // namespace

ExecutableHeader::ExecutableHeader(QByteArrayView head)
    : m_head(head.first(std::min(head.size(), headSize)).toByteArray())
{
    if (m_head.startsWith("\x7F"
                          "ELF"))
        parseElf();
    else if (m_head.size() >= 8 && (u32(m_head, 0, QSysInfo::BigEndian) & ~1u) == 0xCAFEBABE)
        parseUniversal();
    else if (m_head.size() >= 8 && (u32(m_head, 0, QSysInfo::LittleEndian) & ~1u) == 0xFEEDFACE)
        parseMachO();
}

ExecutableHeader ExecutableHeader::unreadable(const QString &why)
{
    ExecutableHeader header;
    header.m_unreadable = why;
    return header;
}

ExecutableHeader ExecutableHeader::read(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {};
    if (::stat(native.constData(), &info) != 0)
        return unreadable(QStringLiteral("not readable: ") + qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return unreadable(QStringLiteral("not a regular file"));
    // Without O_NONBLOCK, a named pipe put in the file's place after the check would block open().
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return unreadable(QStringLiteral("not readable: ") + qt_error_string(errno));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return unreadable(QStringLiteral("not a regular file"));

    QByteArray head(headSize, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < head.size()) {
        const ssize_t count = ::read(fd, head.data() + filled, size_t(head.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return unreadable(QStringLiteral("not readable: ") + qt_error_string(errno));
        if (count == 0)
            break;
        filled += count;
    }
    head.truncate(filled);
    return ExecutableHeader(head);
}

ExecutableHeader::Machine ExecutableHeader::host()
{
    Machine machine;
#ifdef Q_OS_MACOS
    machine.format = Format::MachO;
#else
    machine.format = Format::Elf;
#endif
    machine.bits = QT_POINTER_SIZE * 8;
    machine.byteOrder = QSysInfo::ByteOrder;
#if defined(Q_PROCESSOR_X86_64)
    const char *name = "x86_64";
#elif defined(Q_PROCESSOR_X86_32)
    const char *name = "i386";
#elif defined(Q_PROCESSOR_ARM_64)
    const char *name = "arm64";
#elif defined(Q_PROCESSOR_ARM_32)
    const char *name = "arm";
#elif defined(Q_PROCESSOR_POWER_64)
    const char *name = "ppc64";
#elif defined(Q_PROCESSOR_POWER_32)
    const char *name = "ppc";
#elif defined(Q_PROCESSOR_RISCV_64)
    const char *name = "riscv64";
#else
    const char *name = "";
#endif
    for (const Architecture &architecture : architectureTable) {
        if (qstrcmp(architecture.name, name) == 0)
            machine.cpu = machine.format == Format::Elf ? architecture.elfMachine : architecture.machOCpu;
    }
    return machine;
}

void ExecutableHeader::parseElf()
{
    // e_ident's class and data bytes, then e_machine at offset 18 in the file's byte order.
    if (m_head.size() < 20)
        return;
    const char elfClass = m_head[4];
    const char data = m_head[5];
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2))
        return;
    m_format = Format::Elf;
    m_machine.format = Format::Elf;
    m_machine.bits = elfClass == 1 ? 32 : 64;
    m_machine.byteOrder = data == 2 ? QSysInfo::BigEndian : QSysInfo::LittleEndian;
    const auto *machine = reinterpret_cast<const uchar *>(m_head.constData()) + 18;
    m_machine.cpu = m_machine.byteOrder == QSysInfo::BigEndian ? qFromBigEndian<quint16>(machine)
                                                               : qFromLittleEndian<quint16>(machine);
}

void ExecutableHeader::parseMachO()
{
    m_format = Format::MachO;
    m_machine.format = Format::MachO;
    m_machine.bits = u32(m_head, 0, QSysInfo::LittleEndian) == 0xFEEDFACF ? 64 : 32;
    m_machine.byteOrder = QSysInfo::LittleEndian;
    m_machine.cpu = u32(m_head, 4, QSysInfo::LittleEndian);
}

void ExecutableHeader::parseUniversal()
{
    const bool wide = u32(m_head, 0, QSysInfo::BigEndian) == 0xCAFEBABF;
    const quint32 count = u32(m_head, 4, QSysInfo::BigEndian);
    const qsizetype entrySize = wide ? 32 : 20;
    // A Java class file shares the magic number; its version makes an implausible count.
    if (count == 0 || count > 16 || m_head.size() < 8 + qsizetype(count) * entrySize)
        return;
    m_format = Format::UniversalMachO;
    m_machine.format = Format::UniversalMachO;
    for (quint32 i = 0; i < count; ++i)
        m_universalCpus.append(u32(m_head, 8 + i * entrySize, QSysInfo::BigEndian));
}

QString ExecutableHeader::architectures() const
{
    QStringList names;
    if (m_format == Format::Elf) {
        if (const Architecture *architecture = elfArchitecture(m_machine.cpu))
            names.append(QString::fromLatin1(architecture->name));
    } else if (m_format == Format::MachO) {
        if (const Architecture *architecture = machOArchitecture(m_machine.cpu))
            names.append(QString::fromLatin1(architecture->name));
    } else if (m_format == Format::UniversalMachO) {
        for (const quint32 cpu : m_universalCpus)
            if (const Architecture *architecture = machOArchitecture(cpu))
                names.append(QString::fromLatin1(architecture->name));
    }
    return names.join(u' ');
}

QString ExecutableHeader::description() const
{
    if (!m_unreadable.isEmpty())
        return m_unreadable;
    const QString width = m_machine.bits == 32 ? QStringLiteral("32-bit ") : QString();
    switch (m_format) {
    case Format::Elf: {
        const Architecture *architecture = elfArchitecture(m_machine.cpu);
        return width + (m_machine.byteOrder == QSysInfo::BigEndian ? QStringLiteral("big-endian ") : QString()) +
               QStringLiteral("ELF for ") +
               (architecture ? QString::fromLatin1(architecture->elfName)
                             : QStringLiteral("machine ") + QString::number(m_machine.cpu));
    }
    case Format::MachO:
        return width + QStringLiteral("Mach-O for ") + machOName(m_machine.cpu);
    case Format::UniversalMachO: {
        QStringList names;
        for (const quint32 cpu : m_universalCpus)
            names.append(machOName(cpu));
        return QStringLiteral("universal Mach-O for ") + names.join(u' ');
    }
    case Format::Other:
        break;
    }
    return contentDescription();
}

QString ExecutableHeader::contentDescription() const
{
    if (m_head.isEmpty())
        return QStringLiteral("an empty file");
    const QByteArray content = m_head.trimmed();
    const qsizetype lineEnd = content.indexOf('\n');
    QByteArray firstLine = content.left(lineEnd < 0 ? content.size() : lineEnd);
    if (firstLine.endsWith('\r'))
        firstLine.chop(1);
    // A character cut off at the end of the head is held back, not an error.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString line = decoder.decode(firstLine);
    const bool text = !decoder.hasError() &&
                      std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c.isPrint() || c == u'\t'; });
    if (text && line.isEmpty())
        return QStringLiteral("blank text");
    if (!text)
        return QStringLiteral("data beginning ") + QString::fromLatin1(m_head.left(8).toHex(' '));
    constexpr qsizetype shown = 40;
    const QString start = line.size() > shown ? line.left(shown) + QStringLiteral("…") : line;
    return QStringLiteral("text beginning \"") + start + u'"';
}

bool ExecutableHeader::runsOn(const Machine &machine) const
{
    return m_format != Format::UniversalMachO && machine.cpu != 0 && m_machine == machine;
}
