// SPDX-License-Identifier: MIT
#include "instances/RunRecords.h"
#include "platform/ProcessInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

// A record must read back as written, whatever an earlier run left at its path, and stay private:
// it names the server's executable and output file.
class TestRunRecords : public QObject
{
    Q_OBJECT

private slots:
    void write_readsBackPrivately_data()
    {
        QTest::addColumn<QByteArray>("leftBehind");
        QTest::newRow("nothing there") << QByteArray();
        QTest::newRow("a longer record, readable by all") << QByteArray(4096, ' ');
    }
    void write_readsBackPrivately()
    {
        QFETCH(QByteArray, leftBehind);
        QTemporaryDir dir;
        const RunRecords records(dir.filePath(QStringLiteral("run")));
        const RunRecord record{QUuid::createUuid(),           ::getpid(), 42, ProcessInfo::executable(::getpid()), 8080,
                               QStringLiteral("/tmp/out.log")};
        const QString path =
            dir.filePath(QStringLiteral("run/") + record.id.toString(QUuid::WithoutBraces) + QStringLiteral(".json"));
        if (!leftBehind.isEmpty()) {
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("run"))));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(leftBehind);
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        }
        QVERIFY(records.write(record));
        const QList<RunRecord> read = records.readAll();
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().id, record.id);
        QCOMPARE(read.first().pid, record.pid);
        QCOMPARE(read.first().startTime, record.startTime);
        QCOMPARE(read.first().outputFile, record.outputFile);
        struct stat info
        {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }
};

QTEST_GUILESS_MAIN(TestRunRecords)
#include "tst_runrecords.moc"
