// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include "TestSupport.h"
#include "instances/LocalHostNames.h"
#include "platform/PrivilegedCommandRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The real commands (the shell's, or the helper's built to edit a file named in the environment)
// run against a temporary hosts file, through a stand-in for pkexec that records its calls, holds
// them while a "hold" file exists, refuses a parent that has died as pkexec does, and then runs
// (or refuses) the command as the real one would.
using TestSupport::logMessages;

class TestLocalHostNames : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PrivilegedCommandRunner> m_runner;
    std::unique_ptr<LocalHostNames> m_hostNames;
    std::unique_ptr<InstanceManager> m_manager;

    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    QString hostsFile() const { return path("hosts"); }
    QByteArray hosts() const { return readFile(hostsFile()); }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {})
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (permissions)
            QVERIFY(file.setPermissions(permissions));
    }
    // The arguments of each call of the stand-in, newlines turned into spaces.
    QList<QByteArray> calls() const { return readFile(path("calls")).split('\n').mid(1); }
    QString standIn(int status = 0, const QByteArray &message = {}) const
    {
        const auto quoted = [this](const char *name) -> QByteArray {
            return '\'' + QFile::encodeName(path(name)) + '\'';
        };
        QByteArray script = "#!/bin/sh\nparent=$PPID\n"
                            "{ echo; printf '%s' \"$*\" | tr '\\n' ' '; } >>" +
                            quoted("calls") + "\nwhile [ -e " + quoted("hold") + " ]; do sleep 0.01; done\n" +
                            "if [ \"$(cut -d' ' -f4 /proc/$$/stat)\" != \"$parent\" ]; then\n"
                            "    echo 'Refusing to render service to dead parents.' >&2; exit 127\nfi\n";
        if (status == 0)
            script += "shift\nexec \"$@\"\n";
        else
            script += "echo '" + message + "' >&2\nexit " + QByteArray::number(status) + "\n";
        writeFile(path("pkexec"), script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path("pkexec");
    }
    // Builds the manager with a runner using the helper or the shell, and pkexec or none (root).
    void build(bool helper, std::optional<QString> elevator)
    {
        m_manager.reset();
        m_hostNames.reset();
        m_runner = std::make_unique<PrivilegedCommandRunner>(
            helper ? std::optional(QStringLiteral(TEST_HOSTS_HELPER)) : std::nullopt, elevator);
        m_hostNames = std::make_unique<LocalHostNames>(hostsFile(), m_runner.get());
        m_manager = std::make_unique<InstanceManager>(m_settings.get(), path("instances.json"), m_hostNames.get());
    }
    static HalvexInstance named(const QString &name) { return HalvexInstance::create(name, QStringLiteral("t"), 8080); }
    static QString configured(const QString &name)
    {
        return QStringLiteral("✓ Local DNS configured: ") + name + QStringLiteral(".halvex.local");
    }
    QStringList messages(const HalvexInstance &instance) const { return logMessages(m_manager->logs(instance.id)); }
    // Adds or removes and waits for the outcome's lines.
    QStringList update(const HalvexInstance &instance, bool add, int lines = 1)
    {
        m_manager->clearLogs(instance.id);
        m_manager->updateLocalDNS(instance, add);
        [&] { QTRY_COMPARE(m_manager->logs(instance.id).size(), lines); }();
        return messages(instance);
    }
    static void withHelperAndShell()
    {
        QTest::addColumn<bool>("helper");
        QTest::newRow("helper") << true;
        QTest::newRow("shell") << false;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<AppSettings>(AppPaths(path("state")));
        writeFile(hostsFile(), "127.0.0.1 localhost\n");
        qputenv("HALVEX_TEST_HOSTS_FILE", QFile::encodeName(hostsFile()));
        build(false, standIn());
    }
    void cleanup()
    {
        m_manager.reset();
        m_hostNames.reset();
        m_runner.reset();
    }

    void addThenRemove_onlyWhenNeeded_data() { withHelperAndShell(); }
    void addThenRemove_onlyWhenNeeded()
    {
        QFETCH(bool, helper);
        build(helper, standIn());
        const HalvexInstance db = named(QStringLiteral("db"));
        const QStringList done{configured(QStringLiteral("db"))};
        QCOMPARE(update(db, true), done);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n"));
        QCOMPARE(calls().size(), 1);

        QCOMPARE(update(db, true), done); // already there: no prompt, no second line
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n"));
        QCOMPARE(calls().size(), 1);

        QCOMPARE(update(db, false), done);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
        QCOMPARE(calls().size(), 2);

        QCOMPARE(update(db, false), done); // already gone: nothing runs
        QCOMPARE(calls().size(), 2);
    }

    void shellEdits_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("similar names stay")
            << false
            << QByteArray("127.0.0.1 mydb.halvex.local\n127.0.0.1 db.halvex.local\n127.0.0.1 dbXhalvex.local\n"
                          "127.0.0.1 db.halvex.local.example\n# 127.0.0.1 db.halvex.local\n")
            << QByteArray("127.0.0.1 mydb.halvex.local\n127.0.0.1 dbXhalvex.local\n127.0.0.1 db.halvex.local.example\n"
                          "# 127.0.0.1 db.halvex.local\n");
        QTest::newRow("CRLF line removed")
            << false << QByteArray("a\r\n127.0.0.1 db.halvex.local\r\nb\r\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("last line ended first") << true << QByteArray("127.0.0.1 localhost")
                                               << QByteArray("127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n");
    }
    // Through a symbolic link, as /etc/hosts is on some systems: the shell edits in place too.
    void shellEdits()
    {
        QFETCH(bool, add);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString target = path("hosts.real");
        writeFile(target, before, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        QVERIFY(QFile::remove(hostsFile()) && QFile::link(target, hostsFile()));
        struct stat original = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &original), 0);
        update(named(QStringLiteral("db")), add);
        QCOMPARE(hosts(), after);
        QVERIFY(QFileInfo(hostsFile()).isSymLink());
        struct stat changed = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &changed), 0);
        QCOMPARE(changed.st_ino, original.st_ino);
        QCOMPARE(changed.st_mode, original.st_mode);
    }

    void removalsAskedTogether_runAsOneCommand_data() { withHelperAndShell(); }
    void removalsAskedTogether_runAsOneCommand()
    {
        QFETCH(bool, helper);
        build(helper, standIn());
        QList<HalvexInstance> instances;
        QByteArray lines = "127.0.0.1 localhost\n";
        QStringList names;
        // The last name reads like one of the helper's verbs, so it must open a group of its own.
        for (int i = 0; i < 8; ++i) {
            instances.append(named(i < 7 ? u"db" + QString::number(i) : QStringLiteral("add")));
            names.append(instances.last().name);
            lines += "127.0.0.1 " + names.last().toUtf8() + ".halvex.local\n";
        }
        writeFile(hostsFile(), lines);
        for (const HalvexInstance &instance : instances)
            m_manager->updateLocalDNS(instance, false);
        for (const HalvexInstance &instance : instances)
            QTRY_COMPARE(messages(instance), QStringList{configured(instance.name)});
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
        QCOMPARE(calls().size(), 1);
        if (helper) {
            QCOMPARE(calls().first(), QByteArray("--disable-internal-agent " TEST_HOSTS_HELPER " remove " +
                                                 names.mid(0, 7).join(u' ').toUtf8() + " remove add"));
        }
    }

    void removalAskedWhileAddRuns_runsAfterIt()
    {
        const HalvexInstance db = named(QStringLiteral("db"));
        writeFile(path("hold"), {});
        m_manager->updateLocalDNS(db, true);
        QTRY_COMPARE(calls().size(), 1);
        m_manager->updateLocalDNS(db, false);
        QVERIFY(QFile::remove(path("hold")));
        QTRY_COMPARE(messages(db), (QStringList{configured(db.name), configured(db.name)}));
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
        QCOMPARE(calls().size(), 2);
    }

    void removalsAtQuit_outliveTheApplication()
    {
        writeFile(hostsFile(), "127.0.0.1 localhost\n127.0.0.1 a.halvex.local\n127.0.0.1 b.halvex.local\n");
        writeFile(path("hold"), {});
        QProcess application;
        application.start(QStringLiteral(HOSTNAMES_AT_QUIT), {standIn(), hostsFile(), "a", "b"});
        QVERIFY(application.waitForFinished());
        QCOMPARE(application.exitCode(), 0);
        // Started before the application exited, and let go only now that it is gone.
        QTRY_COMPARE(calls().size(), 1);
        QVERIFY(QFile::remove(path("hold")));
        QTRY_COMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
    }

    void elevatorFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("dismissed") << 126 << QByteArray("Error executing command as another user: Request dismissed")
                                   << "ℹ️ Local DNS not configured (admin password cancelled)";
        QTest::newRow("126 without dismissal") << 126 << QByteArray("/bin/sh: cannot execute")
                                               << "⚠️ Could not update /etc/hosts: /bin/sh: cannot execute";
        QTest::newRow("not authorized") << 127 << QByteArray("Not authorized")
                                        << "⚠️ Could not update /etc/hosts: Not authorized";
        QTest::newRow("silent failure") << 1 << QByteArray() << "⚠️ Could not update /etc/hosts: unknown error";
        QTest::newRow("no pkexec")
            << -1 << QByteArray()
            << "⚠️ Could not update /etc/hosts: pkexec is not installed; install policykit-1 to set host names";
    }
    void elevatorFailures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, message);
        QFETCH(QString, line);
        build(false, status < 0 ? path("no-pkexec") : standIn(status, message));
        const HalvexInstance orders = named(QStringLiteral("orders"));
        const QString hint = QStringLiteral("💡 Database is still accessible at http://localhost:8080");
        // Asked twice together: the second add looks done only because of the first, so it fails with it.
        m_manager->updateLocalDNS(orders, true);
        QCOMPARE(update(orders, true, 4), (QStringList{line, hint, line, hint}));
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
    }

    void unsafeName_runsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote") << "x'; touch pwned; '";
        QTest::newRow("regex") << ".*";
        QTest::newRow("space") << "a b";
    }
    void unsafeName_runsNothing()
    {
        QFETCH(QString, name);
        for (const bool add : {true, false}) {
            QCOMPARE(update(named(name), add, 2),
                     (QStringList{QStringLiteral("⚠️ Could not update /etc/hosts: invalid instance name"),
                                  QStringLiteral("💡 Database is still accessible at http://localhost:8080")}));
        }
        QCOMPARE(calls().size(), 0);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
    }

    void asRoot_runsWithoutPkexec_data() { withHelperAndShell(); }
    void asRoot_runsWithoutPkexec()
    {
        QFETCH(bool, helper);
        build(helper, std::nullopt);
        QCOMPARE(update(named(QStringLiteral("direct")), true), QStringList{configured(QStringLiteral("direct"))});
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n127.0.0.1 direct.halvex.local\n"));
        QCOMPARE(calls().size(), 0);
    }

    void installedHelper_data()
    {
        QTest::addColumn<QString>("programDir");
        QTest::addColumn<QString>("helper");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("installed") << "usr/bin"
                                   << "usr/libexec/hosts" << true;
        QTest::newRow("installed, through a link") << "bin"
                                                   << "usr/libexec/hosts" << true;
        QTest::newRow("build tree") << "build/bin"
                                    << "usr/libexec/hosts" << false;
        QTest::newRow("helper missing") << "usr/bin"
                                        << "usr/libexec/none" << false;
        QTest::newRow("helper not executable") << "usr/bin"
                                               << "usr/libexec/plain" << false;
    }
    void installedHelper()
    {
        QFETCH(QString, programDir);
        QFETCH(QString, helper);
        QFETCH(bool, chosen);
        for (const char *dir : {"usr/bin", "usr/libexec", "build/bin"})
            QVERIFY(QDir().mkpath(path(dir)));
        QVERIFY(QFile::link(path("usr/bin"), path("bin")));
        writeFile(path("usr/libexec/hosts"), "#!/bin/sh\n", QFile::ReadOwner | QFile::ExeOwner);
        writeFile(path("usr/libexec/plain"), "#!/bin/sh\n", QFile::ReadOwner);
        const QString helperPath = m_dir->filePath(helper);
        QCOMPARE(PrivilegedCommandRunner::installedHelper(helperPath, path("usr/bin"), m_dir->filePath(programDir)),
                 chosen ? std::optional(helperPath) : std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestLocalHostNames)
#include "tst_localhostnames.moc"
