// SPDX-License-Identifier: MIT
#include "instances/ExecutableProbe.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

class TestExecutableProbe : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }
    static QByteArray elfHeader(quint16 machine, bool bigEndian = false)
    {
        QByteArray header("\x7F"
                          "ELF\x02",
                          5);
        header += bigEndian ? '\x02' : '\x01';
        header += QByteArray(18 - header.size(), '\0');
        char bytes[2];
        if (bigEndian)
            qToBigEndian(machine, bytes);
        else
            qToLittleEndian(machine, bytes);
        return header + QByteArray(bytes, 2) + QByteArray(44, '\0');
    }
    static QByteArray le32(quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        return QByteArray(bytes, 4);
    }
    static QByteArray be32(quint32 value)
    {
        char bytes[4];
        qToBigEndian(value, bytes);
        return QByteArray(bytes, 4);
    }
    static QByteArray fat(const QList<quint32> &cpus)
    {
        QByteArray header = be32(0xCAFEBABE) + be32(static_cast<quint32>(cpus.size()));
        for (const quint32 cpu : cpus)
            header += be32(cpu) + QByteArray(16, '\0');
        return header;
    }

private slots:
    void architectures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("elf x86-64") << elfHeader(62) << "x86_64";
        QTest::newRow("elf aarch64") << elfHeader(183) << "arm64";
        QTest::newRow("elf big-endian ppc64") << elfHeader(21, true) << "ppc64";
        QTest::newRow("elf unknown machine") << elfHeader(999) << "";
        QTest::newRow("macho 64 x86-64") << le32(0xFEEDFACF) + le32(0x01000007) + QByteArray(24, '\0') << "x86_64";
        QTest::newRow("macho 32 i386") << le32(0xFEEDFACE) + le32(7) + QByteArray(24, '\0') << "i386";
        QTest::newRow("fat x86-64 and arm64") << fat({0x01000007, 0x0100000C}) << "x86_64 arm64";
        QTest::newRow("java class") << be32(0xCAFEBABE) + be32(0x00000037) + QByteArray(64, '\0') << "";
        QTest::newRow("script") << QByteArray("#!/bin/sh\necho hi\n") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("truncated elf") << QByteArray("\x7F"
                                                     "ELF\x02\x01")
                                       << "";
    }
    void architectures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QCOMPARE(ExecutableProbe::architectures(write(QStringLiteral("exe"), content)), expected);
    }

    void description_matchesTheFileTool_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("elf") << QStringLiteral("/bin/true");
        QTest::newRow("script") << write(QStringLiteral("script.sh"), "#!/bin/sh\necho hi\n");
        QTest::newRow("text") << write(QStringLiteral("notes.txt"), "just some words\n");
        QTest::newRow("empty") << write(QStringLiteral("empty"), QByteArray());
    }
    void description_matchesTheFileTool()
    {
        QFETCH(QString, path);
        if (!QFile::exists(QStringLiteral("/usr/bin/file")))
            QSKIP("the file tool is not installed");
        QProcess file;
        file.start(QStringLiteral("/usr/bin/file"), {QStringLiteral("-b"), path});
        QVERIFY(file.waitForFinished());
        const QString expected = QString::fromUtf8(file.readAllStandardOutput()).trimmed();
        QCOMPARE(ExecutableProbe::fileDescription(path).value_or(QString()), expected);
    }

    void description_followsChangesOfTheFile()
    {
        const QString path = write(QStringLiteral("changing"), "#!/bin/sh\n");
        const auto before = ExecutableProbe::fileDescription(path);
        write(QStringLiteral("changing"), QByteArray("\x7F"
                                                     "ELF\x02\x01\x01",
                                                     7) +
                                              QByteArray(60, '\0'));
        QVERIFY(ExecutableProbe::fileDescription(path) != before);
        QVERIFY(!ExecutableProbe::fileDescription(m_dir.filePath(QStringLiteral("missing"))));
    }

    void permissions_inOctal()
    {
        const QString path = write(QStringLiteral("perm"), "x");
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QCOMPARE(ExecutableProbe::permissions(path).value_or(QString()), QStringLiteral("644"));
        QVERIFY(!ExecutableProbe::isExecutable(path));
        QVERIFY(!ExecutableProbe::permissions(m_dir.filePath(QStringLiteral("missing"))));
    }
};

QTEST_GUILESS_MAIN(TestExecutableProbe)
#include "tst_executableprobe.moc"
