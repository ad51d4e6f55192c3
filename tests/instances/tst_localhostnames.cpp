// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include "LogMessages.h"
#include "instances/LocalHostNames.h"
#include "platform/PrivilegedCommandRunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The real commands run against a temporary hosts file, through a stand-in for pkexec that
// counts its calls and then runs (or refuses) the command as the real one would.
class TestLocalHostNames : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PrivilegedCommandRunner> m_runner;
    std::unique_ptr<InstanceManager> m_manager;

    QString hostsFile() const { return m_dir->filePath(QStringLiteral("hosts")); }
    QString callsFile() const { return m_dir->filePath(QStringLiteral("calls")); }
    QByteArray hosts() const { return readFile(hostsFile()); }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {}) const
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (permissions)
            QVERIFY(file.setPermissions(permissions));
    }
    int calls() const { return static_cast<int>(readFile(callsFile()).count('\n')); }
    // A pkexec stand-in: records the call, then either runs "/bin/sh -c command" or exits with
    // the given status and message.
    void useElevator(int status = 0, const QByteArray &message = {})
    {
        const QString path = m_dir->filePath(QStringLiteral("pkexec"));
        QByteArray script = "#!/bin/sh\necho call >> '" + QFile::encodeName(callsFile()) + "'\n";
        if (status == 0)
            script += "shift\nexec \"$@\"\n";
        else
            script += "echo '" + message + "' >&2\nexit " + QByteArray::number(status) + "\n";
        writeFile(path, script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_runner = std::make_unique<PrivilegedCommandRunner>(path);
        m_manager =
            std::make_unique<InstanceManager>(m_settings.get(), m_dir->filePath(QStringLiteral("instances.json")),
                                              LocalHostNames(hostsFile(), m_runner.get()));
    }
    static HalvexInstance named(const QString &name)
    {
        return HalvexInstance::create(name, QStringLiteral("token"), 8080);
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

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<AppSettings>(AppPaths(m_dir->filePath(QStringLiteral("state"))));
        writeFile(hostsFile(), "127.0.0.1 localhost\n");
        useElevator();
    }
    void cleanup()
    {
        m_manager.reset();
        m_runner.reset();
    }

    void addThenRemove_onlyWhenNeeded()
    {
        const HalvexInstance db = named(QStringLiteral("db"));
        const QStringList configured{QStringLiteral("✓ Local DNS configured: db.halvex.local")};
        QCOMPARE(update(db, true), configured);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n"));
        QCOMPARE(calls(), 1);

        QCOMPARE(update(db, true), configured); // already there: no prompt, no second line
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n127.0.0.1 db.halvex.local\n"));
        QCOMPARE(calls(), 1);

        QCOMPARE(update(db, false), configured);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
        QCOMPARE(calls(), 2);

        QCOMPARE(update(db, false), configured); // already gone: nothing runs
        QCOMPARE(calls(), 2);
    }

    void remove_leavesSimilarNames()
    {
        writeFile(hostsFile(), "127.0.0.1 mydb.halvex.local\n127.0.0.1 db.halvex.local\n127.0.0.1 dbXhalvex.local\n"
                               "127.0.0.1 db.halvex.local.example\n");
        update(named(QStringLiteral("db")), false);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 mydb.halvex.local\n127.0.0.1 dbXhalvex.local\n"
                                     "127.0.0.1 db.halvex.local.example\n"));
    }

    void add_keepsLastLineWithoutNewline()
    {
        writeFile(hostsFile(), "127.0.0.1 localhost");
        update(named(QStringLiteral("orders")), true);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n127.0.0.1 orders.halvex.local\n"));
    }

    void elevatorFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("dismissed") << 126 << QByteArray("Error executing command as another user: Request dismissed")
                                   << "ℹ️ Local DNS not configured (admin password cancelled)";
        QTest::newRow("not authorized") << 127 << QByteArray("Not authorized")
                                        << "⚠️ Could not update /etc/hosts: Not authorized";
        QTest::newRow("silent failure") << 1 << QByteArray() << "⚠️ Could not update /etc/hosts: unknown error";
    }
    void elevatorFailures()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, message);
        QFETCH(QString, line);
        useElevator(status, message);
        const HalvexInstance orders = named(QStringLiteral("orders"));
        QCOMPARE(update(orders, true, 2),
                 (QStringList{line, QStringLiteral("💡 Database is still accessible at http://localhost:8080")}));
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
        QCOMPARE(calls(), 0);
        QCOMPARE(hosts(), QByteArray("127.0.0.1 localhost\n"));
    }

    void withoutElevator_runsDirectly()
    {
        PrivilegedCommandRunner direct(std::nullopt);
        LocalHostNames names(hostsFile(), &direct);
        bool done = false;
        names.update(named(QStringLiteral("direct")), true, this,
                     [&](LocalHostNames::Outcome outcome, const QString &) {
                         QCOMPARE(outcome, LocalHostNames::Outcome::Configured);
                         done = true;
                     });
        QTRY_VERIFY(done);
        QVERIFY(names.hasEntry(QStringLiteral("direct")));
        QCOMPARE(calls(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLocalHostNames)
#include "tst_localhostnames.moc"
