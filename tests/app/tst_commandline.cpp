// SPDX-License-Identifier: MIT
// The application as a user meets it from a terminal: the real halvex-kelvane binary, one per
// user, driven by its command line, with the real halvex server, in a home of the test's own.
#include "ProcessState.h"
#include "TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace TestSupport;
using namespace Qt::StringLiterals;

namespace {

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

// An instance record in single-quoted JSON; dates as the registry (seconds) or an export (text) has them.
QString record(const QString &name, quint16 port, const QString &date = u"760000000"_s)
{
    return u"{'id':'%1','name':'%2','authToken':'t','port':%3,'isRunning':false,'createdAt':%4,'updatedAt':%4}"_s
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), name)
        .arg(port)
        .arg(date);
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    const QString m_program = QStringLiteral(HALVEX_KELVANE_PATH);
    quint16 m_alphaPort = 0;
    quint16 m_betaPort = 0;

    QString home(const QString &name) const { return m_home->filePath(name); }
    QString state(const QString &name) const { return home(u"data/HalvexKelvane/"_s + name); }
    QString url(const QString &path) const { return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded); }
    void writeSettings(const QString &binary, const QString &timezone = u"UTC"_s) const
    {
        const QString settings = u"{'dataStorageLocation':'%1','binaryPath':'%2','timezone':'%3'}"_s.arg(
            url(home(u"servers"_s)), url(binary), timezone);
        QVERIFY(writeFile(state(u"settings.json"_s), json(qPrintable(settings))));
    }

    // A command as a terminal runs it, without a display, which the application it starts must do
    // without. Its arguments are separated by spaces.
    Outcome run(const QString &arguments, const QString &workingDirectory = {}) const
    {
        QProcess process;
        process.setWorkingDirectory(workingDirectory);
        process.start(m_program, arguments.split(u' ', Qt::SkipEmptyParts));
        Outcome outcome;
        if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
            outcome.exitCode = process.exitCode();
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    QJsonArray listed() const { return QJsonDocument::fromJson(run(u"list --json"_s).out.toUtf8()).array(); }
    qint64 pidOf(int row) const { return listed().at(row)[u"pid"_s].toInteger(); }
    qint64 applicationPid() const { return readFile(state(u"halvex-kelvane.lock"_s)).split('\n')[0].toLongLong(); }
    QByteArray hosts() const { return readFile(home(u"hosts"_s)); }

private slots:
    void initTestCase()
    {
        for (const char *variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            qunsetenv(variable);
    }

    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        useHomeIn(*m_home);
        // Host names go to a file of the test's, never to the system's.
        QVERIFY(writeFile(home(u"hosts"_s), "127.0.0.1 localhost\n"));
        qputenv("HALVEX_KELVANE_HOSTS_FILE", QFile::encodeName(home(u"hosts"_s)));
        QVERIFY(QDir().mkpath(state({})));
        m_alphaPort = freePort();
        m_betaPort = freePort();
        writeSettings(serverPath());
        const QString registry =
            u'[' + record(u"alpha-1"_s, m_alphaPort) + u',' + record(u"beta-2"_s, m_betaPort) + u']';
        QVERIFY(writeFile(state(u"instances.json"_s), json(qPrintable(registry))));
    }

    void cleanup()
    {
        // What a test left running, the application and the servers it noted, ends before its home goes.
        QList<qint64> pids{applicationPid()};
        const QDir records(state(u"run"_s));
        for (const QString &name : records.entryList({u"*.json"_s}, QDir::Files))
            pids.append(QJsonDocument::fromJson(readFile(records.filePath(name)))[u"pid"_s].toInteger());
        for (const qint64 pid : std::as_const(pids)) {
            if (pid > 0 && !hasEnded(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
        QTRY_VERIFY(std::all_of(pids.cbegin(), pids.cend(), [](qint64 pid) { return pid <= 0 || hasEnded(pid); }));
        m_home.reset();
    }

    void command_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed"); // on standard output after a success, else the start of standard error
        const QString usage = u"\nUsage: halvex-kelvane "_s;
        QTest::newRow("stopped instance") << u"status alpha-1"_s << 3 << u"stopped\n"_s;
        QTest::newRow("stopping a stopped instance") << u"stop beta-2 --wait"_s << 0 << QString();
        QTest::newRow("no such instance") << u"start gamma --wait"_s << 4 << u"No instance is named 'gamma'\n"_s;
        QTest::newRow("import of a missing file") << u"import /nonexistent/x"_s << 1 << u"Import failed: "_s;
        QTest::newRow("export into a missing directory") << u"export /nonexistent/x"_s << 1 << u"Export failed: "_s;
        QTest::newRow("unknown command") << u"restart alpha-1"_s << 2 << usage;
        QTest::newRow("command without its name") << u"start"_s << 2 << usage;
        QTest::newRow("one argument too many") << u"status alpha-1 beta-2"_s << 2 << usage;
        QTest::newRow("option of another command") << u"list --wait"_s << 2 << usage;
        QTest::newRow("unknown option") << u"list --all"_s << 2 << usage;
        QTest::newRow("background with a command") << u"show --background"_s << 2 << usage;
        QTest::newRow("option without a command") << u"--json"_s << 2 << usage;
    }
    void command()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        const bool success = exitCode == 0 || exitCode == 3;
        QCOMPARE(success ? outcome.err : outcome.out, QString());
        if (success)
            QCOMPARE(outcome.out, printed);
        else
            QVERIFY2(outcome.err.contains(printed), qPrintable(outcome.err));
    }

    void firstCommand_leavesNoPipeOpen()
    {
        // The application it starts outlives it: had it kept the pipe, cat would wait for it.
        QProcess shell;
        shell.start(u"/bin/sh"_s, {"-c", "\"$0\" list | cat", HALVEX_KELVANE_PATH});
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(shell.exitCode(), 0);
        QVERIFY(shell.readAllStandardOutput().startsWith("alpha-1  "));
    }

    void startAndStop_waitForTheServer()
    {
        QCOMPARE(run(u"start alpha-1 --wait"_s).exitCode, 0);
        const Outcome status = run(u"status alpha-1"_s);
        QCOMPARE(status.exitCode, 0);
        QCOMPARE(status.out, u"running\n"_s);
        const QJsonArray list = listed();
        QJsonObject alpha = list[0].toObject();
        const qint64 pid = alpha.take(u"pid"_s).toInteger();
        QCOMPARE(alpha, QJsonObject({{u"name"_s, u"alpha-1"_s},
                                     {u"port"_s, m_alphaPort},
                                     {u"state"_s, u"running"_s},
                                     {u"url"_s, u"http://alpha-1.halvex.local:%1"_s.arg(m_alphaPort)}}));
        QCOMPARE(list[1][u"state"_s].toString(), u"stopped"_s);
        QVERIFY(list[1][u"pid"_s].isNull());
        QVERIFY(!hasEnded(pid));

        QCOMPARE(run(u"stop ALPHA-1 --wait"_s).exitCode, 0);
        QVERIFY(hasEnded(pid));
        QCOMPARE(run(u"status alpha-1"_s).exitCode, 3);
    }

    void failedStart_saysWhy_notHowFarItGot()
    {
        writeSettings(serverPath(), u"Not/AZone"_s);
        {
            QTcpServer holder; // refused before anything is launched
            QVERIFY(holder.listen(QHostAddress::Any, m_alphaPort));
            const Outcome refused = run(u"start alpha-1"_s);
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.err.startsWith(u"Instance 'alpha-1' did not start:\n["_s) &&
                         refused.err.contains(u"] ❌ Port %1 is already in use by "_s.arg(m_alphaPort)),
                     qPrintable(refused.err));
        }
        const Outcome ended = run(u"start alpha-1 --wait"_s); // launched, and ended for want of a time zone
        QCOMPARE(ended.exitCode, 1);
        QStringList lines = ended.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), u"Instance 'alpha-1' did not start:"_s);
        QCOMPARE(logMessages(lines), (QStringList{u"halvex: HALVEX_TZ names no known time zone: \"Not/AZone\""_s,
                                                  u"❌ The server ended during start-up with exit code 2"_s}));
        QCOMPARE(run(u"status alpha-1"_s).exitCode, 3);
    }

    void logsFollow_printsTheLogThenEachEntryAsItComes()
    {
        QCOMPARE(run(u"start alpha-1 --wait"_s).exitCode, 0);
        QProcess follower;
        follower.start(m_program, {"logs", "alpha-1", "--follow"});
        QString followed;
        const auto hasFollowed = [&followed, &follower](const QString &text) {
            followed += QString::fromUtf8(follower.readAllStandardOutput());
            return followed.contains(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(hasFollowed(u"] ✅ Instance 'alpha-1' is accepting connections"_s), 15000);
        QCOMPARE(run(u"stop alpha-1"_s).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(hasFollowed(u"] Stopping instance 'alpha-1'..."_s), 15000);
        follower.kill();
        follower.waitForFinished();
    }

    void import_readsTheCallersFile_andReportsAsTheWindowDoes()
    {
        const QString date = u"'2025-03-01T14:05:09Z'"_s;
        const QString configuration =
            u"{'version':'1.2','exportedAt':%1,'settings':{'dataStorageLocation':'%2','timezone':'UTC'},"
            "'instances':[%3,%4]}"_s.arg(date, url(home(u"imported"_s)), record(u"orders"_s, freePort(), date),
                                         record(u"users"_s, m_betaPort, date));
        QVERIFY(QDir().mkpath(home(u"caller"_s)));
        QVERIFY(writeFile(home(u"caller/incoming.json"_s), json(qPrintable(configuration))));
        // A relative path means the caller's working directory, not the application's (the home).
        const Outcome import = run(u"import incoming.json"_s, home(u"caller"_s));
        QCOMPARE(import.exitCode, 0);
        QCOMPARE(import.out, u"Imported 1 instance(s). Skipped 1 due to conflicts.\n"_s);
    }

    void quitSignal_stopsEveryServer_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void quitSignal_stopsEveryServer()
    {
        QFETCH(int, signalNumber);
        QCOMPARE(run(u"start alpha-1 --wait"_s).exitCode, 0);
        QCOMPARE(run(u"start beta-2 --wait"_s).exitCode, 0);
        const qint64 application = applicationPid();
        const qint64 alpha = pidOf(0);
        const qint64 beta = pidOf(1);
        // As root the host names are edited directly; anyone else's pkexec has nobody to ask here.
        const bool editsHosts = ::geteuid() == 0;
        if (editsHosts)
            QTRY_VERIFY_WITH_TIMEOUT(hosts().contains("alpha-1.") && hosts().contains("beta-2."), 15000);

        ::kill(static_cast<pid_t>(application), signalNumber);
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(application) && hasEnded(alpha) && hasEnded(beta), 15000);
        // Only a process that quits in order unlocks.
        QVERIFY(!QFile::exists(state(u"halvex-kelvane.lock"_s)));
        // Asked for on the way out, when the application's event loop turns no more.
        if (editsHosts)
            QTRY_COMPARE_WITH_TIMEOUT(hosts(), QByteArray("127.0.0.1 localhost\n"), 15000);
    }

    // The window's application opens the command channel once its window is up: a command sent
    // from then on reaches it, and no second application is made.
    void windowApplication_answersCommands()
    {
        QProcess window;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        window.setProcessEnvironment(environment);
        window.start(m_program, {});
        QVERIFY(window.waitForStarted());
        const Outcome status = run(u"status alpha-1"_s);
        QCOMPARE(status.exitCode, 3); // not running
        QCOMPARE(status.out.trimmed(), u"stopped"_s);
        QCOMPARE(applicationPid(), window.processId());
        QCOMPARE(run(u"quit"_s).exitCode, 0);
        QVERIFY(window.waitForFinished(15000));
        // Its own complaints, not the offscreen platform's notes.
        const QByteArray errors = window.readAllStandardError();
        QVERIFY2(!errors.contains("halvex-kelvane:"), errors.constData());
    }

    void oneApplication_takesEveryLaunch_andACrashedOneIsReplaced()
    {
        QCOMPARE(run(u"start alpha-1 --wait"_s).exitCode, 0);
        const qint64 first = applicationPid();
        const qint64 server = pidOf(0);
        for (const QString &arguments : {u""_s, u"--background"_s}) {
            const Outcome second = run(arguments);
            QCOMPARE(second.exitCode, 0);
            // A second manager would have taken the running server on as well, and said so.
            QVERIFY2(second.out.isEmpty(), qPrintable(second.out));
        }
        QCOMPARE(applicationPid(), first);

        // A killed application leaves its lock and socket behind: the next command starts one that
        // takes both over and finds the server still running.
        ::kill(static_cast<pid_t>(first), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(first), 15000);
        QCOMPARE(run(u"status alpha-1"_s).exitCode, 0);
        QCOMPARE(pidOf(0), server);
        const qint64 successor = applicationPid();
        QVERIFY(successor != first);
        QCOMPARE(run(u"quit"_s).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(successor) && hasEnded(server), 15000);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
