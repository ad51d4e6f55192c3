// SPDX-License-Identifier: MIT
#include "TestSupport.h"

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
        QTest::addColumn<QByteArray>("after"); // none: unchanged, and the helper refuses with 2
        const auto row = [](const char *name, const QStringList &arguments, const QByteArray &before,
                            const QByteArray &after = {}) { QTest::newRow(name) << arguments << before << after; };
        const QByteArray local = "127.0.0.1 localhost\n";
        const QByteArray db = "127.0.0.1 db.halvex.local\n";
        const QByteArray dbCrlf = "127.0.0.1 db.halvex.local\r\n";
        row("add appends the line", {"add", "db"}, local, local + db);
        row("add ends a last line first", {"add", "db"}, "127.0.0.1 localhost", local + db);
        row("add finds its line", {"add", "db"}, db + local, db + local);
        row("add finds its CRLF line", {"add", "db"}, dbCrlf, dbCrlf);
        const QByteArray near =
            "127.0.0.1 mydb.halvex.local\n127.0.0.1 dbXhalvex.local\n127.0.0.1 db.halvex.local.example\n";
        row("remove only the exact line", {"remove", "db"}, local + db + near + db + "# " + db,
            local + near + "# " + db);
        row("remove a CRLF line", {"remove", "db"}, "a\r\n" + dbCrlf + "b\r\n", "a\r\nb\r\n");
        row("groups apply in order", {"remove", "a", "b", "add", "c", "remove", "c", "add", "b"},
            local + "127.0.0.1 a.halvex.local\n127.0.0.1 b.halvex.local\n", local + "127.0.0.1 b.halvex.local\n");
        row("names that read like verbs", {"add", "add", "remove", "remove"}, local + "127.0.0.1 remove.halvex.local\n",
            local + "127.0.0.1 add.halvex.local\n");
        row("an unsafe name refuses everything", {"add", "db", "x'; touch pwned; '"}, local);
        row("a pattern is no name", {"remove", ".*"}, local + db);
        row("a verb without a name", {"add", "db", "remove"}, local);
    }
    void edits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("hosts.real"));
        const QString hosts = dir.filePath(QStringLiteral("hosts"));
        QVERIFY(TestSupport::writeFile(target, before,
                                       QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
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
        QCOMPARE(helper.exitCode(), after.isNull() ? 2 : 0);
        QCOMPARE(helper.readAllStandardError().isEmpty(), !after.isNull());
        QCOMPARE(TestSupport::readFile(target), after.isNull() ? before : after);
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
