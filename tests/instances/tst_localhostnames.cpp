// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "instances/LocalHostNames.h"
#include "platform/PrivilegedCommandRunner.h"

#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using TestSupport::logMessages;
using TestSupport::readFile;
using TestSupport::writeFile;

// The real commands (the shell's, or the helper's built to edit a file named in the environment)
// run against a temporary hosts file, through a stand-in for pkexec that records its calls, holds
// them while a "hold" file exists, refuses a parent that has died as pkexec does, and then runs
// (or refuses) the command as the real one would.
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
    // The arguments of each call of the stand-in.
    QList<QByteArray> calls() const { return readFile(path("calls")).split('\n').mid(1); }
    QString standIn(int status = 0, const QByteArray &message = {}) const
    {
        const auto quoted = [this](const char *name) -> QByteArray {
            return '\'' + QFile::encodeName(path(name)) + '\'';
        };
        QByteArray script = "#!/bin/sh\nparent=$PPID\n{ echo; printf '%s' \"$*\" | tr '\\n' ' '; } >>" +
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
            helper ? std::optional(u"" TEST_HOSTS_HELPER ""_s) : std::nullopt, elevator);
        m_hostNames = std::make_unique<LocalHostNames>(hostsFile(), m_runner.get());
        m_manager = std::make_unique<InstanceManager>(m_settings.get(), path("instances.json"), m_hostNames.get());
    }
    static HalvexInstance named(const QString &name) { return HalvexInstance::create(name, u"t"_s, 8080); }
    static QString configured(const QString &name) { return u"✓ Local DNS configured: "_s + name + u".halvex.local"_s; }
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
    }

    // No second line, and no password asked for a change that is already in place. Already root,
    // the command runs without pkexec.
    void addThenRemove_onlyWhenNeeded_data()
    {
        QTest::addColumn<bool>("helper");
        QTest::addColumn<bool>("root");
        QTest::newRow("helper") << true << false;
        QTest::newRow("shell") << false << false;
        QTest::newRow("helper, as root") << true << true;
        QTest::newRow("shell, as root") << false << true;
    }
    void addThenRemove_onlyWhenNeeded()
    {
        QFETCH(bool, helper);
        QFETCH(bool, root);
        build(helper, root ? std::nullopt : std::optional(standIn()));
        const HalvexInstance db = named(u"db"_s);
        const QStringList done{configured(u"db"_s)};
        for (int twice = 0; twice < 2; ++twice) {
            QCOMPARE(update(db, true), done);
            QCOMPARE(hosts(), "127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n"_ba);
            QCOMPARE(calls().size(), root ? 0 : 1);
        }
        for (int twice = 0; twice < 2; ++twice) {
            QCOMPARE(update(db, false), done);
            QCOMPARE(hosts(), "127.0.0.1 localhost\n"_ba);
            QCOMPARE(calls().size(), root ? 0 : 2);
        }
    }

    // Through a symbolic link, as /etc/hosts is on some systems: edited in place, never replaced.
    void shellEdits_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("similar names stay")
            << false
            << "127.0.0.1 mydb.halvex.local\n127.0.0.1 db.halvex.local\n127.0.0.1 dbXhalvex.local\n"
               "127.0.0.1 db.halvex.local.example\n# 127.0.0.1 db.halvex.local\n"_ba
            << "127.0.0.1 mydb.halvex.local\n127.0.0.1 dbXhalvex.local\n127.0.0.1 db.halvex.local.example\n"
               "# 127.0.0.1 db.halvex.local\n"_ba;
        QTest::newRow("CRLF line removed") << false << "a\r\n127.0.0.1 db.halvex.local\r\nb\r\n"_ba
                                           << "a\r\nb\r\n"_ba;
        QTest::newRow("last line ended first") << true << "127.0.0.1 localhost"_ba
                                               << "127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n"_ba;
    }
    void shellEdits()
    {
        QFETCH(bool, add);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString target = path("hosts.real");
        writeFile(target, before, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        QVERIFY(QFile::remove(hostsFile()) && QFile::link(target, hostsFile()));
        struct stat original = {}, changed = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &original), 0);
        update(named(u"db"_s), add);
        QCOMPARE(hosts(), after);
        QVERIFY(QFileInfo(hostsFile()).isSymLink());
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &changed), 0);
        QCOMPARE(changed.st_ino, original.st_ino);
        QCOMPARE(changed.st_mode, original.st_mode);
    }

    void removalsAskedTogether_runAsOneCommand_data() { withHelperAndShell(); }
    void removalsAskedTogether_runAsOneCommand()
    {
        QFETCH(bool, helper);
        build(helper, standIn());
        // The last name reads like one of the helper's verbs, so it must open a group of its own.
        const QStringList names{u"db0"_s, u"db1"_s, u"db2"_s, u"add"_s};
        QByteArray lines = "127.0.0.1 localhost\n";
        QList<HalvexInstance> instances;
        for (const QString &name : names) {
            lines += "127.0.0.1 " + name.toUtf8() + ".halvex.local\n";
            instances.append(named(name));
        }
        writeFile(hostsFile(), lines);
        for (const HalvexInstance &instance : instances)
            m_manager->updateLocalDNS(instance, false);
        for (const HalvexInstance &instance : instances)
            QTRY_COMPARE(messages(instance), QStringList{configured(instance.name)});
        QCOMPARE(hosts(), "127.0.0.1 localhost\n"_ba);
        QCOMPARE(calls().size(), 1);
        if (helper)
            QCOMPARE(calls().first(),
                     "--disable-internal-agent " TEST_HOSTS_HELPER " remove db0 db1 db2 remove add"_ba);
    }

    void removalAskedWhileAddRuns_runsAfterIt()
    {
        const HalvexInstance db = named(u"db"_s);
        writeFile(path("hold"), {});
        m_manager->updateLocalDNS(db, true);
        QTRY_COMPARE(calls().size(), 1);
        m_manager->updateLocalDNS(db, false);
        QVERIFY(QFile::remove(path("hold")));
        QTRY_COMPARE(messages(db), (QStringList{configured(db.name), configured(db.name)}));
        QCOMPARE(hosts(), "127.0.0.1 localhost\n"_ba);
        QCOMPARE(calls().size(), 2);
    }

    void removalsAtQuit_outliveTheApplication()
    {
        writeFile(hostsFile(), "127.0.0.1 localhost\n127.0.0.1 a.halvex.local\n127.0.0.1 b.halvex.local\n");
        writeFile(path("hold"), {});
        QProcess application;
        application.start(u"" HOSTNAMES_AT_QUIT ""_s, {standIn(), hostsFile(), u"a"_s, u"b"_s});
        QVERIFY(application.waitForFinished());
        QCOMPARE(application.exitCode(), 0);
        // Started before the application exited, and let go only now that it is gone.
        QTRY_COMPARE(calls().size(), 1);
        QVERIFY(QFile::remove(path("hold")));
        QTRY_COMPARE(hosts(), "127.0.0.1 localhost\n"_ba);
    }

    void elevatorFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("dismissed") << 126 << "Error executing command as another user: Request dismissed"_ba
                                   << u"ℹ️ Local DNS not configured (admin password cancelled)"_s;
        QTest::newRow("126 without dismissal")
            << 126 << "/bin/sh: cannot execute"_ba << u"⚠️ Could not update /etc/hosts: /bin/sh: cannot execute"_s;
        QTest::newRow("silent failure") << 1 << QByteArray() << u"⚠️ Could not update /etc/hosts: unknown error"_s;
        QTest::newRow("no pkexec")
            << -1 << QByteArray()
            << u"⚠️ Could not update /etc/hosts: pkexec is not installed; install policykit-1 to set host names"_s;
    }
    void elevatorFailures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, message);
        QFETCH(QString, line);
        build(false, status < 0 ? path("no-pkexec") : standIn(status, message));
        const HalvexInstance orders = named(u"orders"_s);
        const QString hint = u"💡 Database is still accessible at http://localhost:8080"_s;
        // Asked twice together: the second add looks done only because of the first, so it fails with it.
        m_manager->updateLocalDNS(orders, true);
        QCOMPARE(update(orders, true, 4), (QStringList{line, hint, line, hint}));
        QCOMPARE(hosts(), "127.0.0.1 localhost\n"_ba);
    }

    // Such a name never reaches a shell, a helper or a sed address.
    void unsafeName_runsNothing()
    {
        for (const QString &name : {u"x'; touch pwned; '"_s, u".*"_s}) {
            for (const bool add : {true, false}) {
                QCOMPARE(update(named(name), add, 2),
                         (QStringList{u"⚠️ Could not update /etc/hosts: invalid instance name"_s,
                                      u"💡 Database is still accessible at http://localhost:8080"_s}));
            }
        }
        QCOMPARE(calls().size(), 0);
        QCOMPARE(hosts(), "127.0.0.1 localhost\n"_ba);
    }
};

QTEST_GUILESS_MAIN(TestLocalHostNames)
#include "tst_localhostnames.moc"
