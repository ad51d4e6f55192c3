// SPDX-License-Identifier: MIT
#include "instances/ExecutableProbe.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

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
    static QByteArray elfHeader(quint16 machine)
    {
        QByteArray header("\x7F"
                          "ELF\x02\x01",
                          6);
        header += QByteArray(12, '\0');
        char bytes[2];
        qToLittleEndian(machine, bytes);
        return header + QByteArray(bytes, 2) + QByteArray(44, '\0');
    }
    static QString fileTool(const QString &path)
    {
        QProcess file;
        file.start(QStringLiteral("/usr/bin/file"), {QStringLiteral("-b"), path});
        file.waitForFinished();
        return QString::fromUtf8(file.readAllStandardOutput()).trimmed();
    }

private slots:
    // First of all, while nothing has loaded the database yet, as at a start-up.
    void description_preparedOnlyWhileTheFileIsUnchanged()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/file")))
            QSKIP("the file tool is not installed");
        const QString path = write(QStringLiteral("prepared"), "#!/bin/sh\n");
        const QString other = write(QStringLiteral("other"), "just some words\n");
        ExecutableProbe::prepare(path);
        // Asked for at once, while the preparation is still under way.
        const QString description = ExecutableProbe::fileDescription(other).value_or(QString());
        QCOMPARE(description, fileTool(other));
        QCOMPARE(ExecutableProbe::fileDescription(path).value_or(QString()), fileTool(path));
        write(QStringLiteral("prepared"), elfHeader(62));
        QCOMPARE(ExecutableProbe::fileDescription(path).value_or(QString()), fileTool(path));
    }

    void architectures_readFromTheFile()
    {
        QCOMPARE(ExecutableProbe::architectures(write(QStringLiteral("exe"), elfHeader(183))), QStringLiteral("arm64"));
        QCOMPARE(ExecutableProbe::architectures(write(QStringLiteral("script"), "#!/bin/sh\n")), QString());
        QCOMPARE(ExecutableProbe::architectures(m_dir.filePath(QStringLiteral("missing"))), QString());
    }

    void notRegularFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::newRow("regular file") << "file"
                                      << "";
        QTest::newRow("link to a regular file") << "link"
                                                << "";
        QTest::newRow("missing") << "missing"
                                 << "";
        QTest::newRow("named pipe") << "pipe"
                                    << "a named pipe";
        QTest::newRow("directory") << "dir"
                                   << "a directory";
    }
    void notRegularFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        const QString file = write(QStringLiteral("file"), "x");
        QFile::link(file, m_dir.filePath(QStringLiteral("link")));
        ::mkfifo(QFile::encodeName(m_dir.filePath(QStringLiteral("pipe"))).constData(), 0600);
        QDir(m_dir.path()).mkdir(QStringLiteral("dir"));
        QCOMPARE(ExecutableProbe::notRegularFile(m_dir.filePath(name)).value_or(QString()), kind);
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
        QCOMPARE(ExecutableProbe::fileDescription(path).value_or(QString()), fileTool(path));
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
