// SPDX-License-Identifier: MIT
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The privileged helper, run for real on a temporary hosts file reached through a symbolic link,
// as /etc/hosts is on some systems.
class TestHostsHelper : public QObject
{
    Q_OBJECT

private slots:
    void edits_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("status");

        const QByteArray local = "127.0.0.1 localhost\n";
        const QByteArray db = "127.0.0.1 db.halvex.local\n";
        QTest::newRow("add appends the line") << QStringList{"add", "db"} << local << local + db << 0;
        QTest::newRow("add ends a last line first")
            << QStringList{"add", "db"} << QByteArray("127.0.0.1 localhost") << local + db << 0;
        QTest::newRow("add finds its line") << QStringList{"add", "db"} << db + local << db + local << 0;
        QTest::newRow("add finds its CRLF line")
            << QStringList{"add", "db"} << QByteArray("127.0.0.1 db.halvex.local\r\n")
            << QByteArray("127.0.0.1 db.halvex.local\r\n") << 0;
        QTest::newRow("remove only the exact line")
            << QStringList{"remove", "db"}
            << local + "127.0.0.1 mydb.halvex.local\n" + db + "127.0.0.1 dbXhalvex.local\n" + db +
                   "127.0.0.1 db.halvex.local.example\n# 127.0.0.1 db.halvex.local\n"
            << local + "127.0.0.1 mydb.halvex.local\n127.0.0.1 dbXhalvex.local\n127.0.0.1 db.halvex.local.example\n"
                       "# 127.0.0.1 db.halvex.local\n"
            << 0;
        QTest::newRow("remove a CRLF line")
            << QStringList{"remove", "db"} << QByteArray("a\r\n127.0.0.1 db.halvex.local\r\nb\r\n")
            << QByteArray("a\r\nb\r\n") << 0;
        QTest::newRow("groups apply in order") << QStringList{"remove", "a", "b", "add", "c", "remove", "c", "add", "b"}
                                               << local + "127.0.0.1 a.halvex.local\n127.0.0.1 b.halvex.local\n"
                                               << local + "127.0.0.1 b.halvex.local\n"
                                               << 0;
        QTest::newRow("names that read like verbs")
            << QStringList{"add", "add", "remove", "remove"} << local + "127.0.0.1 remove.halvex.local\n"
            << local + "127.0.0.1 add.halvex.local\n"
            << 0;
        QTest::newRow("an unsafe name refuses everything")
            << QStringList{"add", "db", "x'; touch pwned; '"} << local << local << 2;
        QTest::newRow("a pattern is no name") << QStringList{"remove", ".*"} << local + db << local + db << 2;
        QTest::newRow("a verb without a name") << QStringList{"add", "db", "remove"} << local << local << 2;
    }
    void edits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(int, status);

        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("hosts.real"));
        const QString hosts = dir.filePath(QStringLiteral("hosts"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::link(target, hosts));
        struct stat original = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &original), 0);

        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HALVEX_TEST_HOSTS_FILE"), hosts);
        helper.setProcessEnvironment(environment);
        helper.setWorkingDirectory(dir.path());
        helper.start(QStringLiteral(TEST_HOSTS_HELPER), arguments);
        QVERIFY(helper.waitForFinished());
        QCOMPARE(helper.exitCode(), status);
        QCOMPARE(helper.readAllStandardError().isEmpty(), status == 0);

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), after);
        // Changed in place: the link is still a link, and its target the same file, mode unchanged.
        QVERIFY(QFileInfo(hosts).isSymLink());
        struct stat changed = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &changed), 0);
        QCOMPARE(changed.st_ino, original.st_ino);
        QCOMPARE(changed.st_mode, original.st_mode);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
    }
};

QTEST_GUILESS_MAIN(TestHostsHelper)
#include "tst_hostshelper.moc"
