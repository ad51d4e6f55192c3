// SPDX-License-Identifier: MIT
#include "instances/ServerOutput.h"
#include "platform/ProcessInfo.h"

#include "TestHome.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>

using namespace Qt::StringLiterals;
using State = InstanceManager::RunState;
using TestSupport::program;

// A server's life from the checks of its start to its end, against real processes (the real
// server, tiny misbehaving programs) and files that cannot run, with the run records, output files
// and hosts file in a home of the test's own.
class TestServerLifecycle : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestHome> m_home;

    InstanceManager &manager() const { return *m_home->instances; }
    // An instance of the executable, on a free port unless given one, with an empty log.
    HalvexInstance add(const QString &name, const QString &executable = TestSupport::serverPath(), quint16 port = 0)
    {
        m_home->useExecutable(executable);
        const HalvexInstance added = m_home->add(name, port ? port : TestSupport::freePort());
        manager().clearLogs(added.id);
        return added;
    }
    HalvexInstance current(const HalvexInstance &instance) const { return m_home->current(instance.id); }
    QStringList messages(const HalvexInstance &instance) const { return m_home->messages(instance.id); }
    bool logged(const HalvexInstance &instance, const QString &message) const
    {
        return m_home->logged(instance.id, message);
    }
    State stateOf(const HalvexInstance &instance) const { return manager().runState(instance.id); }
    qint64 pidOf(const HalvexInstance &instance) const { return manager().processId(instance.id).value_or(0); }
    QStringList runRecords() const { return QDir(m_home->m_paths.directory() + u"/run"_s).entryList(QDir::Files); }
    bool hasHostName(const HalvexInstance &instance) const
    {
        return m_home->hosts().contains(QByteArray("127.0.0.1 " + instance.name.toUtf8() + ".halvex.local\n"));
    }
    // The state letter of /proc/<pid>/stat: Z once the process has ended and waits to be reaped,
    // 0 once it is gone.
    static char processState(qint64 pid)
    {
        const QByteArray stat = TestSupport::readFile(u"/proc/%1/stat"_s.arg(pid));
        const qsizetype end = stat.lastIndexOf(')');
        return end >= 0 && end + 2 < stat.size() ? stat.at(end + 2) : 0;
    }
    static bool isAlive(qint64 pid) { return processState(pid) != 'Z' && processState(pid) != 0; }
    // Host names are given for the tests that look at them, so that no other test ends with a
    // command of the hosts file still running.
    void withHostNames() { m_home = std::make_unique<TestHome>(TestHome::HostNames::InTestFile); }
    // Starts the instance and waits for the launch to end; whether it started a server.
    bool launch(const HalvexInstance &instance)
    {
        QSignalSpy ended(&manager(), &InstanceManager::launchEnded);
        manager().startInstance(instance);
        if (ended.isEmpty() && !ended.wait(15000))
            return false;
        return ended.constFirst().at(1).toBool();
    }
    void startUntil(const HalvexInstance &instance, State state)
    {
        launch(instance);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), state, 15000);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TestHome>();
        m_home->settings->setTimezone(u"UTC"_s);
    }
    void cleanup() { m_home.reset(); }

    void environment_theFourVariablesOverTheApplicationsOwn()
    {
        qputenv("HALVEX_PORT", "1");
        qputenv("HALVEX_TEST_MARKER", "kept");
        const HalvexInstance instance = add(u"env"_s, u"/usr/bin/env"_s);
        startUntil(instance, State::Stopped);
        qunsetenv("HALVEX_PORT");
        qunsetenv("HALVEX_TEST_MARKER");

        const QStringList log = messages(instance);
        const QString directory = m_home->storage() + u"/env"_s;
        const QString port = QString::number(instance.port);
        QVERIFY(log.value(1).startsWith(u"Binary type: ELF 64-bit"_s));
        QCOMPARE(log.mid(0, 11),
                 (QStringList{u"Verifying binary: /usr/bin/env"_s, log.value(1), u"Binary architectures: x86_64"_s,
                              u"✅ Architecture check passed (x86_64)"_s, u"✓ Data directory created: "_s + directory,
                              u"Environment variables:"_s, u"  HALVEX_AUTH_TOKEN: secret-tok***"_s,
                              u"  HALVEX_DATA_DIR: "_s + directory, u"  HALVEX_PORT: "_s + port, u"  HALVEX_TZ: UTC"_s,
                              u"✓ Instance 'env' started on port "_s + port}));
        QVERIFY(log.value(11).startsWith(u"Process ID: "_s));
        // What the server printed: its environment, a variable a line.
        const QStringList variables = log.join(u'\n').split(u'\n');
        for (const QString &variable :
             QStringList{u"HALVEX_AUTH_TOKEN=secret-token"_s, u"HALVEX_DATA_DIR="_s + directory,
                         u"HALVEX_PORT="_s + port, u"HALVEX_TZ=UTC"_s, u"HALVEX_TEST_MARKER=kept"_s})
            QVERIFY2(variables.contains(variable), qPrintable(variable));
        // The application's own value gives way: a second HALVEX_PORT would leave the server to choose.
        QVERIFY(!variables.contains(u"HALVEX_PORT=1"_s));
    }

    // What a start finds out about the executable, in the words of the log ("<path>" stands for
    // its path): the lines, one after the other, and the last line of the log.
    void executableChecks_data()
    {
        QTest::addColumn<QByteArray>("content"); // or <none> configured, <missing>, <pipe>
        QTest::addColumn<bool>("executable");
        QTest::addColumn<bool>("quarantined");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("last");
        const QString verifying = u"Verifying binary: <path>"_s;
        const QString select = u"Please download or select a valid binary in Settings."_s;
        const QString notConfigured =
            u"Error: Halvex binary not configured. Please download and configure the binary in Settings."_s;
        QTest::newRow("not configured") << "<none>"_ba << true << false << QStringList{notConfigured} << notConfigured;
        QTest::newRow("missing") << "<missing>"_ba << true << false
                                 << QStringList{u"Error: Halvex binary not found at path: <path>"_s, select} << select;
        QTest::newRow("named pipe") << "<pipe>"_ba << true << false
                                    << QStringList{verifying, u"❌ ERROR: Binary is a named pipe, not a regular file"_s,
                                                   select}
                                    << select;
        const QString needX86 = u"You need a binary with x86_64 support for your Mac"_s;
        QTest::newRow("script") << "#!/bin/sh\necho hi\n"_ba << true << false
                                << QStringList{verifying, u"Binary type: POSIX shell script, ASCII text executable"_s,
                                               u"Binary architectures: "_s,
                                               u"❌ ERROR: Binary doesn't support x86_64 architecture!"_s, needX86}
                                << needX86;
        // Passes the checks; this system then cannot run it.
        const QByteArray slice(16, '\0');
        QTest::newRow("universal, x86_64 among others")
            << "\xCA\xFE\xBA\xBE\0\0\0\x02\x01\0\0\x07"_ba + slice + "\x01\0\0\x0C"_ba + slice << true << false
            << QStringList{u"Binary architectures: x86_64 arm64"_s, u"✅ Architecture check passed (x86_64)"_s}
            << u"Failed to start instance: Exec format error"_s;
        const QByteArray elf = TestSupport::readFile(u"/bin/true"_s);
        const QString warning = u"⚠️ Warning: Binary may not be executable (attempting anyway)"_s;
        const QString chmod = u"If this fails, run: chmod +x \"<path>\""_s;
        const QString denied = u"Failed to start instance: Permission denied"_s;
        QTest::newRow("not executable") << elf << false << false
                                        << QStringList{warning, u"Current permissions: 644"_s, chmod} << denied;
        QTest::newRow("not executable, quarantined")
            << elf << false << true
            << QStringList{warning, u"Current permissions: 644"_s,
                           u"⚠️ File has quarantine attribute - this may cause issues"_s,
                           u"To fix: xattr -d com.apple.quarantine \"<path>\""_s, chmod}
            << denied;
    }
    void executableChecks()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, executable);
        QFETCH(bool, quarantined);
        QFETCH(QStringList, lines);
        QFETCH(QString, last);
        const QString path = m_home->path(u"halvex"_s);
        const QByteArray native = QFile::encodeName(path);
        if (content == "<pipe>")
            QCOMPARE(::mkfifo(native.constData(), 0700), 0);
        else if (!content.startsWith('<'))
            QVERIFY(TestSupport::writeFile(path, content,
                                           QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther |
                                               (executable ? QFile::ExeOwner : QFile::Permission())));
        if (quarantined && ::setxattr(native.constData(), "user.com.apple.quarantine", "0081;", 5, 0) != 0)
            QSKIP("This file system keeps no extended attributes");
        const HalvexInstance instance = add(u"checked"_s, content == "<none>" ? QString() : path);
        QVERIFY(!launch(instance));
        const QStringList log = messages(instance);
        lines.replaceInStrings(u"<path>"_s, path);
        QCOMPARE(log.mid(log.indexOf(lines.first()), lines.size()), lines);
        QCOMPARE(log.last(), last);
        QCOMPARE(stateOf(instance), State::Stopped);
        QVERIFY(!current(instance).isRunning);
    }

    // The executable is described ahead, when it is configured; one replaced since is described
    // as it is at the start.
    void executableChecks_describeTheFileAsItIsNow()
    {
        const QString path = m_home->path(u"halvex"_s);
        const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QVERIFY(TestSupport::writeFile(path, "#!/bin/sh\n"_ba, permissions));
        manager().prepareLaunches();
        const HalvexInstance instance = add(u"replaced"_s, path);
        QVERIFY(TestSupport::writeFile(path, "just some words\n"_ba, permissions));
        launch(instance);
        QVERIFY(messages(instance).contains(u"Binary type: ASCII text"_s));
    }

    void takenPort_launchesNothingAndNamesTheHolder()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        const HalvexInstance instance = add(u"blocked"_s, TestSupport::serverPath(), holder.serverPort());
        QVERIFY(!launch(instance));
        QCOMPARE(messages(instance).last(), u"❌ Port %1 is already in use by %2 (PID %3)"_s.arg(instance.port)
                                                .arg(ProcessInfo::name(::getpid()))
                                                .arg(::getpid()));
        QVERIFY(!logged(instance, u"Environment variables:"_s));
        QCOMPARE(stateOf(instance), State::Stopped);
    }

    // Started twice, since a server that has ended must leave nothing behind that keeps the next
    // from starting; the second ends with the deletion of its instance.
    void startReadyStopRestartDelete()
    {
        withHostNames();
        const HalvexInstance instance = add(u"orders"_s);
        for (const bool deleted : {false, true}) {
            QVERIFY(launch(instance));
            // Running as far as the buttons and the quit are concerned, but not ready yet.
            QCOMPARE(stateOf(instance), State::Starting);
            QVERIFY(current(instance).isRunning);
            QCOMPARE(runRecords().size(), 1);
            QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Running, 15000);
            QVERIFY(logged(instance, u"✅ Instance 'orders' is accepting connections on port %1"_s.arg(instance.port)));
            QTRY_VERIFY(hasHostName(instance));
            const qint64 pid = pidOf(instance);
            if (deleted) {
                manager().deleteInstance(instance); // the caller's copy still says "not running"
                QTRY_VERIFY_WITH_TIMEOUT(!isAlive(pid), 15000);
                QTRY_VERIFY(!hasHostName(instance));
                return;
            }
            manager().stopInstance(current(instance));
            QCOMPARE(stateOf(instance), State::Stopping);
            QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Stopped, 15000);
            const QStringList log = messages(instance);
            QCOMPARE(log.mid(log.indexOf(u"Instance stopped"_s), 2),
                     (QStringList{u"Instance stopped"_s, u"The server ended with exit code 0"_s}));
            QVERIFY(!current(instance).isRunning && runRecords().isEmpty());
            QTRY_VERIFY(!hasHostName(instance));
            manager().clearLogs(instance.id);
        }
    }

    // Asked while the launch is under way, a stop, a delete or a quit waits for it and ends the
    // server it started: none is left running unmanaged.
    void launchUnderWay_endedByStopDeleteOrQuit_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("stop") << u"stop"_s;
        QTest::newRow("delete") << u"delete"_s;
        QTest::newRow("stop all") << u"stop all"_s;
    }
    void launchUnderWay_endedByStopDeleteOrQuit()
    {
        QFETCH(QString, action);
        const HalvexInstance instance = add(u"hasty"_s);
        manager().startInstance(instance);
        QVERIFY(manager().isLaunching(instance.id));
        if (action == u"stop")
            manager().stopInstance(instance);
        else if (action == u"delete")
            manager().deleteInstance(instance);
        else
            manager().stopAllInstances();
        QVERIFY(!manager().isLaunching(instance.id));
        QCOMPARE(stateOf(instance), State::Stopping);
        const qint64 pid = pidOf(instance);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Stopped, 15000);
        QCOMPARE(processState(pid), 0);
        QVERIFY(runRecords().isEmpty());
    }

    // The launch decides which data directory the server gets: a rename waits for it, and is then
    // refused as for any running server.
    void launchUnderWay_renameWaitsForIt()
    {
        const HalvexInstance instance = add(u"hasty"_s);
        manager().startInstance(instance);
        HalvexInstance renamed = instance;
        renamed.name = u"later"_s;
        QString error;
        QVERIFY(!manager().updateInstance(renamed, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(stateOf(instance), State::Starting);
        QCOMPARE(current(instance).name, u"hasty"_s);
        manager().stopInstance(current(instance));
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Stopped, 15000);
    }

    // A server that never listens, ignores SIGTERM, and is ended by force only when the user asks.
    void stubbornServer_readyOnAcceptKilledOnRequestOnly()
    {
        manager().setStopDeadline(std::chrono::milliseconds(200));
        const HalvexInstance idle = add(u"idle"_s);
        const HalvexInstance instance = add(u"stubborn"_s, program("ignore_term"));
        QVERIFY(launch(instance));
        QTRY_VERIFY(logged(instance, u"ignoring SIGTERM"_s));
        const qint64 pid = pidOf(instance);
        manager().startInstance(instance); // one server per instance, whatever the caller's copy says
        QCOMPARE(pidOf(instance), pid);
        QCOMPARE(messages(instance).count(u"Verifying binary: "_s + program("ignore_term")), 1);

        QCOMPARE(stateOf(instance), State::Starting);
        QTcpServer port;
        QVERIFY(port.listen(QHostAddress::LocalHost, quint16(instance.port)));
        QTRY_COMPARE(stateOf(instance), State::Running);

        manager().forceStopInstance(instance.id); // not asked to stop yet: nothing happens
        manager().stopAllInstances();
        manager().stopInstance(current(instance)); // asked once is enough
        QCOMPARE(messages(instance).count(u"Stopping instance 'stubborn'..."_s), 1);
        QVERIFY(messages(idle).isEmpty());
        QTRY_VERIFY(manager().isStopOverdue(instance.id));
        QVERIFY(messages(instance).last().startsWith(u"⚠️ The server has not stopped"_s));
        QCOMPARE(stateOf(instance), State::Stopping);
        QVERIFY(current(instance).isRunning);
        QVERIFY(isAlive(pid));

        manager().forceStopInstance(instance.id);
        QTRY_COMPARE(stateOf(instance), State::Stopped);
        QVERIFY(logged(instance, u"The server ended with signal 9 (SIGKILL)"_s));
    }

    // A server that ends without being asked: its end explained, and its host name given back.
    void ownEnd_explainedAndHostNameGivenBack_data()
    {
        QTest::addColumn<QByteArray>("variable"); // of exit_with; none: the real server, killed once ready
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("end");
        QTest::newRow("exit code during start-up")
            << "EXIT_CODE"_ba
            << "3"_ba << u"❌ The server ended during start-up with exit code 3"_s;
        QTest::newRow("signal during start-up")
            << "EXIT_SIGNAL"_ba
            << "11"_ba << u"❌ The server ended during start-up with signal 11 (SIGSEGV)"_s;
        QTest::newRow("signal once ready")
            << QByteArray() << QByteArray() << u"The server ended with signal 9 (SIGKILL)"_s;
    }
    void ownEnd_explainedAndHostNameGivenBack()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QString, end);
        withHostNames();
        const bool ready = variable.isEmpty();
        const HalvexInstance instance = add(u"brief"_s, ready ? TestSupport::serverPath() : program("exit_with"));
        if (ready) {
            startUntil(instance, State::Running);
            QCOMPARE(::kill(static_cast<pid_t>(pidOf(instance)), SIGKILL), 0);
        } else {
            qputenv(variable.constData(), value);
            QVERIFY(launch(instance));
            qunsetenv(variable.constData());
        }
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Stopped, 15000);
        const QStringList log = messages(instance);
        const qsizetype stopped = log.indexOf(u"Instance stopped"_s);
        QCOMPARE(log.value(stopped + 1), end);
        // What it printed before it ended is shown before its end.
        QVERIFY(ready || (log.indexOf(u"ending at once"_s) >= 0 && log.indexOf(u"ending at once"_s) < stopped));
        QVERIFY(manager().lastRun(instance.id)->duringStartup != ready && !current(instance).isRunning);
        // The host name given at its start is taken back, although nobody asked it to stop.
        QTRY_COMPARE(messages(instance).count(u"✓ Local DNS configured: brief.halvex.local"_s), 2);
        QVERIFY(!hasHostName(instance));
    }

    // After the application died: its server is found and can be stopped; a record whose PID now
    // belongs to another program, started at another time, goes.
    void survivorsOfAKilledApplication_adoptedOrDropped()
    {
        const HalvexInstance instance = add(u"survivor"_s), stale = add(u"stale"_s);
        startUntil(instance, State::Running);
        const qint64 pid = pidOf(instance);
        QProcess other;
        other.start(program("ignore_term"));
        QVERIFY(other.waitForStarted());
        auto record = RunRecord::of(stale.id, other.processId(), stale.port, m_home->path(u"output"_s));
        QVERIFY(record);
        ++record->startTime;
        m_home->killApplication();
        QVERIFY(isAlive(pid));
        QVERIFY(RunRecords(m_home->m_paths.directory() + u"/run"_s).write(*record));

        m_home->startApplication();
        QCOMPARE(pidOf(instance), pid);
        QVERIFY(current(instance).isRunning);
        QVERIFY(logged(instance, u"ℹ️ Instance 'survivor' was still running from an earlier session (PID %1); its "
                                 "earlier output cannot be shown"_s.arg(pid)));
        QCOMPARE(stateOf(stale), State::Stopped);
        QCOMPARE(runRecords().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Running, 15000);
        manager().stopInstance(current(instance));
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Stopped, 15000);
        QVERIFY(logged(instance, u"The server ended; its exit status is unknown (it was started by an earlier "
                                 "session)"_s));
        QVERIFY(runRecords().isEmpty());
        other.kill();
        other.waitForFinished();
    }

    // What a later run learns of a server from its record, whatever its paths hold.
    void runRecord_readsBackAsWritten_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::newRow("plain") << u"/opt/halvex/bin/halvex"_s;
        QTest::newRow("quotes and backslashes") << u"/opt/a \"b\" \\c/halvex"_s;
        QTest::newRow("non-ASCII and a control character") << u"/opt/Größe/\u0001halvex 🚀"_s;
    }
    void runRecord_readsBackAsWritten()
    {
        QFETCH(QString, executable);
        const RunRecords records(m_home->path(u"records"_s));
        const RunRecord written{QUuid::createUuid(), 4242, 1234567890123, executable, 65535, executable + u".log"_s};
        QVERIFY(records.write(written));
        const QList<RunRecord> read = records.readAll();
        QCOMPARE(read.size(), 1);
        const RunRecord &record = read.constFirst();
        QCOMPARE(record.id, written.id);
        QCOMPARE(record.pid, written.pid);
        QCOMPARE(record.startTime, written.startTime);
        QCOMPARE(record.executable, written.executable);
        QCOMPARE(record.port, written.port);
        QCOMPARE(record.outputFile, written.outputFile);
    }

    // A line still waiting for its end is shown after a moment, and at the latest when the server ends.
    void output_partialLinesShown()
    {
        const HalvexInstance instance = add(u"prompt"_s, program("partial_line"));
        QVERIFY(launch(instance));
        QTRY_VERIFY(logged(instance, u"waiting"_s));
        manager().stopInstance(current(instance));
        QTRY_COMPARE(stateOf(instance), State::Stopped);
        const QStringList log = messages(instance);
        QCOMPARE(log.mid(log.indexOf(u"bye"_s), 2), (QStringList{u"bye"_s, u"Instance stopped"_s}));
    }

    // The window is busy (no event is handled) while the server writes far more than any pipe holds:
    // the server does not wait for it, the log keeps the end of its output whole, and where entries
    // had to be left out the log says so rather than run on as if nothing were missing.
    void output_floodOfABusyWindow()
    {
        qputenv("FLOOD_LINES", "2000000"); // about 80 MB
        const HalvexInstance instance = add(u"flood"_s, program("flood"));
        QVERIFY(launch(instance));
        qunsetenv("FLOOD_LINES");
        const qint64 pid = pidOf(instance);
        QTRY_VERIFY(messages(instance).last().startsWith(u"line "_s));
        QDeadlineTimer deadline(std::chrono::seconds(60));
        while (processState(pid) != 'Z' && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QCOMPARE(processState(pid), 'Z');
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance), State::Stopped, 30000);
        // The server's lines in runs, each after a note of entries skipped. A line whose end was
        // late (a busy machine can hold the server up mid-line) was logged in two parts.
        const auto startsALine = [](const QString &text) {
            return !text.isEmpty() && (text.startsWith(u"line "_s) || u"line "_s.startsWith(text));
        };
        QList<QStringList> runs{{}};
        for (const QString &message : messages(instance)) {
            QVERIFY(message.size() <= ServerOutput::maximumChunk + 64); // 1000 entries in bounded memory
            if (message.contains(u"entries of the server's output were skipped"_s)) {
                runs.append(QStringList());
                continue;
            }
            QStringList lines = message.split(u'\n');
            if (!runs.last().isEmpty() && !runs.last().last().endsWith(u" a lot"_s))
                runs.last().last() += lines.takeFirst();
            if (!lines.isEmpty() && startsALine(lines.first()))
                runs.last() += lines;
        }
        QVERIFY(runs.size() > 1);
        QVERIFY(runs.last().size() > 1000);
        QCOMPARE(runs.last().last(), u"line 1999999 of a server that talks a lot"_s);
        long previous = -1;
        for (const QStringList &run : std::as_const(runs)) {
            for (qsizetype i = 0; i < run.size(); ++i) {
                const long number = run.at(i).section(u' ', 1, 1).toLong();
                QVERIFY(i == 0 ? number > previous : number == previous + 1);
                QCOMPARE(run.at(i), u"line %1 of a server that talks a lot"_s.arg(number));
                previous = number;
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestServerLifecycle)
#include "tst_serverlifecycle.moc"
