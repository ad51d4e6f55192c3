// SPDX-License-Identifier: MIT
#include "binary/ExecutableHeader.h"
#include "binary/PayloadFormat.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <atomic>
#include <sys/stat.h>
#include <thread>

using Machine = ExecutableHeader::Machine;

namespace {

QByteArray elf(int bits, QSysInfo::Endian order, quint16 machine)
{
    QByteArray header("\x7F"
                      "ELF");
    header += char(bits == 32 ? 1 : 2);
    header += char(order == QSysInfo::BigEndian ? 2 : 1);
    header += QByteArray(12, '\0');
    char bytes[2];
    if (order == QSysInfo::BigEndian)
        qToBigEndian(machine, bytes);
    else
        qToLittleEndian(machine, bytes);
    return header + QByteArray(bytes, 2) + QByteArray(44, '\0');
}

QByteArray u32(quint32 value, QSysInfo::Endian order)
{
    char bytes[4];
    if (order == QSysInfo::BigEndian)
        qToBigEndian(value, bytes);
    else
        qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray machO(quint32 magic, quint32 cpu)
{
    return u32(magic, QSysInfo::LittleEndian) + u32(cpu, QSysInfo::LittleEndian) + QByteArray(24, '\0');
}

QByteArray universal(const QList<quint32> &cpus)
{
    QByteArray header = u32(0xCAFEBABE, QSysInfo::BigEndian) + u32(quint32(cpus.size()), QSysInfo::BigEndian);
    for (const quint32 cpu : cpus)
        header += u32(cpu, QSysInfo::BigEndian) + QByteArray(16, '\0');
    return header;
}

const Machine linuxX64{ExecutableHeader::Format::Elf, 64, QSysInfo::LittleEndian, 62};
const Machine macX64{ExecutableHeader::Format::MachO, 64, QSysInfo::LittleEndian, 0x01000007};

} // namespace

class TestBinaryFormats : public QObject
{
    Q_OBJECT

private slots:
    void header_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("architectures");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("runsOnLinuxX64");
        QTest::addColumn<bool>("runsOnMacX64");
        const auto little = QSysInfo::LittleEndian;
        const auto big = QSysInfo::BigEndian;
        QTest::newRow("ELF x86-64") << elf(64, little, 62) << "x86_64"
                                    << "ELF for x86_64" << true << false;
        QTest::newRow("ELF aarch64") << elf(64, little, 183) << "arm64"
                                     << "ELF for aarch64" << false << false;
        QTest::newRow("32-bit ELF, x86-64 machine") << elf(32, little, 62) << "x86_64"
                                                    << "32-bit ELF for x86_64" << false << false;
        QTest::newRow("big-endian ELF, x86-64 machine") << elf(64, big, 62) << "x86_64"
                                                        << "big-endian ELF for x86_64" << false << false;
        QTest::newRow("unknown machine") << elf(64, little, 999) << ""
                                         << "ELF for machine 999" << false << false;
        QTest::newRow("ELF magic alone") << QByteArray::fromHex("7f454c46") << ""
                                         << "data beginning 7f 45 4c 46" << false << false;
        QTest::newRow("Mach-O x86-64") << machO(0xFEEDFACF, 0x01000007) << "x86_64"
                                       << "Mach-O for x86_64" << false << true;
        QTest::newRow("32-bit Mach-O") << machO(0xFEEDFACE, 7) << "i386"
                                       << "32-bit Mach-O for i386" << false << false;
        QTest::newRow("Mach-O magic alone") << QByteArray::fromHex("cffaedfe07") << ""
                                            << "data beginning cf fa ed fe 07" << false << false;
        QTest::newRow("universal") << universal({0x01000007, 0x0100000C}) << "x86_64 arm64"
                                   << "universal Mach-O for x86_64 arm64" << false << false;
        QTest::newRow("java class") << u32(0xCAFEBABE, big) + u32(0x37, big) + QByteArray(64, '\0') << ""
                                    << "data beginning ca fe ba be 00 00 00 37" << false << false;
        QTest::newRow("script") << QByteArray("#!/bin/sh\necho hi\n") << ""
                                << "text beginning \"#!/bin/sh\"" << false << false;
        QTest::newRow("long line") << QByteArray("<!DOCTYPE html><html><head><title>Not Found</title>") << ""
                                   << "text beginning \"<!DOCTYPE html><html><head><title>Not Fo…\"" << false << false;
        QTest::newRow("empty") << QByteArray() << ""
                               << "an empty file" << false << false;
    }
    void header()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, architectures);
        QFETCH(QString, description);
        QFETCH(bool, runsOnLinuxX64);
        QFETCH(bool, runsOnMacX64);
        const ExecutableHeader header(head);
        QCOMPARE(header.architectures(), architectures);
        QCOMPARE(header.description(), description);
        QCOMPARE(header.runsOn(linuxX64), runsOnLinuxX64);
        QCOMPARE(header.runsOn(macX64), runsOnMacX64);
    }

    void read_namedPipe_neverBlocks()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        std::atomic_bool returned = false;
        QString description;
        std::thread reader([&] {
            description = ExecutableHeader::read(pipe).description();
            returned = true;
        });
        const bool quickly = QTest::qWaitFor([&] { return returned.load(); }, 5000);
        if (!quickly) {
            // A writer releases a reader stuck in open(), so that the test can end.
            QFile writer(pipe);
            writer.open(QIODevice::WriteOnly);
        }
        reader.join();
        QVERIFY(quickly);
        QCOMPARE(description, QStringLiteral("not a regular file"));
    }

    void payloadFormat_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<PayloadFormat>("payload");
        const auto row = [](const char *name, const char *hex, PayloadFormat payload) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << payload;
        };
        row("ELF", "7f454c4602010100", PayloadFormat::Bare);
        row("empty", "", PayloadFormat::Bare);
        row("zip entry", "504b030414", PayloadFormat::Zip);
        row("empty zip", "504b050600", PayloadFormat::Zip);
        row("spanned zip", "504b070800", PayloadFormat::Zip);
        row("zip, byte 3 not looked at", "504b03ff00", PayloadFormat::Zip);
        row("zip too short", "504b0304", PayloadFormat::Bare);
        row("PK then another byte", "504b010200", PayloadFormat::Bare);
        row("gzip", "1f8b08", PayloadFormat::Gzip);
        row("gzip too short", "1f8b", PayloadFormat::Bare);
    }
    void payloadFormat()
    {
        QFETCH(QByteArray, head);
        QFETCH(PayloadFormat, payload);
        QCOMPARE(detectPayloadFormat(head), payload);
    }
};

QTEST_GUILESS_MAIN(TestBinaryFormats)
#include "tst_binaryformats.moc"
