// SPDX-License-Identifier: MIT
// The application as a user meets it from a terminal: the real halvex-kelvane binary, one per
// user, driven by its command line, with the real halvex server, in a home of the test's own.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

// A process has ended once it is gone or a zombie nobody reaped yet.
bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// The status line of GET /health, as a client of the server sees it.
QByteArray healthStatus(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return socket.errorString().toUtf8();
    socket.write("GET /health HTTP/1.0\r\nHost: localhost\r\n\r\n");
    while (!socket.canReadLine() && socket.waitForReadyRead(5000)) {
    }
    return socket.readLine().trimmed();
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_application;
    // Host names go to the test's own hosts file (HALVEX_KELVANE_HOSTS_FILE), never to /etc/hosts.
    const QString m_alpha = QStringLiteral("alpha-1");
    const QString m_beta = QStringLiteral("beta-2");
    quint16 m_alphaPort = 0;
    quint16 m_betaPort = 0;

    QString stateDirectory() const { return m_home->filePath(QStringLiteral("data/HalvexKelvane")); }

    // No display: a command needs none, and the application it starts must do without.
    QProcessEnvironment commandEnvironment() const
    {
        QProcessEnvironment environment = this->environment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        return environment;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home->path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home->filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->filePath(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Host names go to a file of the test's, never to the system's.
        environment.insert(QStringLiteral("HALVEX_KELVANE_HOSTS_FILE"), m_home->filePath(QStringLiteral("hosts")));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return environment;
    }

    void writeFile(const QString &path, const QByteArray &content) const
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    void writeSettings(const QString &binary, const QString &timezone = QStringLiteral("UTC")) const
    {
        const QJsonObject settings{
            {QStringLiteral("dataStorageLocation"),
             QUrl::fromLocalFile(m_home->filePath(QStringLiteral("servers"))).toString()},
            {QStringLiteral("binaryPath"), QUrl::fromLocalFile(binary).toString()},
            {QStringLiteral("timezone"), timezone},
        };
        writeFile(stateDirectory() + QStringLiteral("/settings.json"), QJsonDocument(settings).toJson());
    }

    static QJsonObject instance(const QString &name, quint16 port)
    {
        return QJsonObject{
            {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
            {QStringLiteral("name"), name},
            {QStringLiteral("authToken"), QString(QStringLiteral("token-of-") + name)},
            {QStringLiteral("port"), int(port)},
            {QStringLiteral("isRunning"), false},
            {QStringLiteral("createdAt"), 760000000.0},
            {QStringLiteral("updatedAt"), 760000000.0},
        };
    }

    Outcome run(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(commandEnvironment());
        process.start(QStringLiteral(HALVEX_KELVANE_PATH), arguments);
        Outcome outcome;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return outcome;
        }
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    // The application started the way a user starts it; the test is its parent. Until it holds the
    // lock, a command would start one of its own, which might get the lock first.
    void launch(const QStringList &arguments = {})
    {
        m_application = std::make_unique<QProcess>();
        m_application->setProcessEnvironment(environment());
        m_application->start(QStringLiteral(HALVEX_KELVANE_PATH), arguments);
        QVERIFY(m_application->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(applicationPid(), m_application->processId(), 15000);
    }

    QJsonObject listed(const QString &name) const
    {
        const Outcome outcome = run({QStringLiteral("list"), QStringLiteral("--json")});
        for (const QJsonValue value : QJsonDocument::fromJson(outcome.out.toUtf8()).array()) {
            if (value[QStringLiteral("name")].toString() == name)
                return value.toObject();
        }
        return {};
    }

    qint64 applicationPid() const
    {
        QFile lock(stateDirectory() + QStringLiteral("/halvex-kelvane.lock"));
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
    }

    // Whatever a failed test left running: the application and the servers it noted.
    void killLeftovers() const
    {
        QList<qint64> pids{applicationPid()};
        const QDir records(stateDirectory() + QStringLiteral("/run"));
        for (const QString &name : records.entryList({QStringLiteral("*.json")}, QDir::Files)) {
            QFile record(records.filePath(name));
            if (record.open(QIODevice::ReadOnly))
                pids.append(QJsonDocument::fromJson(record.readAll())[QStringLiteral("pid")].toInteger());
        }
        for (const qint64 pid : pids) {
            if (pid > 0 && !hasEnded(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QVERIFY(QDir().mkpath(stateDirectory()));
        QVERIFY(QDir().mkpath(m_home->filePath(QStringLiteral("runtime"))));
        QFile::setPermissions(m_home->filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_alphaPort = freePort();
        m_betaPort = freePort();
        writeSettings(QStringLiteral(HALVEX_SERVER_PATH));
        const QJsonArray instances{instance(m_alpha, m_alphaPort), instance(m_beta, m_betaPort)};
        writeFile(stateDirectory() + QStringLiteral("/instances.json"), QJsonDocument(instances).toJson());
    }

    void cleanup()
    {
        killLeftovers();
        if (m_application)
            m_application->waitForFinished();
        m_application.reset();
        m_home.reset();
    }

    void command_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString usage = QStringLiteral("\nUsage: halvex-kelvane ");
        const auto row = [](const char *name, const QString &arguments, int exitCode, const QString &out = {},
                            const QString &err = {}) {
            QTest::newRow(name) << arguments.split(u' ', Qt::SkipEmptyParts) << exitCode << out << err;
        };
        row("stopped instance", QStringLiteral("status alpha-1"), 3, QStringLiteral("stopped\n"));
        row("names ignore case", QStringLiteral("status ALPHA-1"), 3, QStringLiteral("stopped\n"));
        row("stopping a stopped instance", QStringLiteral("stop beta-2 --wait"), 0);
        row("log of an instance never started", QStringLiteral("logs Beta-2"), 0);
        row("status of no such instance", QStringLiteral("status gamma"), 4, {},
            QStringLiteral("No instance is named 'gamma'\n"));
        row("start of no such instance", QStringLiteral("start gamma --wait"), 4, {},
            QStringLiteral("No instance is named 'gamma'\n"));
        row("stop of no such instance", QStringLiteral("stop gamma"), 4, {},
            QStringLiteral("No instance is named 'gamma'\n"));
        row("log of no such instance", QStringLiteral("logs gamma --follow"), 4, {},
            QStringLiteral("No instance is named 'gamma'\n"));
        row("import of a missing file", QStringLiteral("import /nonexistent/config.json"), 1, {},
            QStringLiteral("Import failed: "));
        row("export into a missing directory", QStringLiteral("export /nonexistent/config.json"), 1, {},
            QStringLiteral("Export failed: "));
        row("unknown command", QStringLiteral("restart alpha-1"), 2, {}, usage);
        row("command without its name", QStringLiteral("start"), 2, {}, usage);
        row("command with one argument too many", QStringLiteral("status alpha-1 beta-2"), 2, {}, usage);
        row("option of another command", QStringLiteral("list --wait"), 2, {}, usage);
        row("unknown option", QStringLiteral("list --all"), 2, {}, usage);
        row("background with a command", QStringLiteral("show --background"), 2, {}, usage);
        row("option without a command", QStringLiteral("--json"), 2, {}, usage);
        row("version", QStringLiteral("--version"), 0, QStringLiteral("halvex-kelvane "));
    }

    void command()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);

        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        QVERIFY2(out.isEmpty() ? outcome.out.isEmpty() : outcome.out.contains(out), qPrintable(outcome.out));
        QVERIFY2(err.isEmpty() ? outcome.err.isEmpty() : outcome.err.contains(err), qPrintable(outcome.err));
    }

    void firstCommand_leavesNoPipeOpen()
    {
        // The application it starts outlives it: had it kept the pipe, cat would wait for it.
        QProcess shell;
        shell.setProcessEnvironment(commandEnvironment());
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("\"$0\" list | cat"), QStringLiteral(HALVEX_KELVANE_PATH)});
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(shell.exitCode(), 0);
        QVERIFY(shell.readAllStandardOutput().startsWith("alpha-1  "));
    }

    void startAndStop_waitForTheServer()
    {
        QCOMPARE(run({QStringLiteral("start"), m_alpha, QStringLiteral("--wait")}).exitCode, 0);
        QCOMPARE(healthStatus(m_alphaPort), QByteArray("HTTP/1.1 200 OK"));
        const Outcome status = run({QStringLiteral("status"), m_alpha});
        QCOMPARE(status.exitCode, 0);
        QCOMPARE(status.out, QStringLiteral("running\n"));

        const Outcome list = run({QStringLiteral("list")});
        QVERIFY2(QRegularExpression(QStringLiteral("^alpha-1  %1  running   http://alpha-1.halvex.local:%1\n"
                                                   "beta-2   %2  stopped   http://beta-2.halvex.local:%2\n$")
                                        .arg(m_alphaPort)
                                        .arg(m_betaPort))
                     .match(list.out)
                     .hasMatch(),
                 qPrintable(list.out));
        const QJsonObject alpha = listed(m_alpha);
        const QJsonObject beta = listed(m_beta);
        QCOMPARE(alpha[QStringLiteral("state")].toString(), QStringLiteral("running"));
        QCOMPARE(alpha[QStringLiteral("port")].toInt(), int(m_alphaPort));
        QCOMPARE(alpha[QStringLiteral("url")].toString(),
                 QStringLiteral("http://alpha-1.halvex.local:%1").arg(m_alphaPort));
        QCOMPARE(beta[QStringLiteral("state")].toString(), QStringLiteral("stopped"));
        QVERIFY(beta[QStringLiteral("pid")].isNull());
        const qint64 pid = alpha[QStringLiteral("pid")].toInteger();
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath(),
                 QFileInfo(QStringLiteral(HALVEX_SERVER_PATH)).canonicalFilePath());

        const Outcome logs = run({QStringLiteral("logs"), m_alpha});
        QVERIFY2(QRegularExpression(QStringLiteral("^\\[[^]]+\\] ✅ Instance 'alpha-1' is accepting connections"),
                                    QRegularExpression::MultilineOption)
                     .match(logs.out)
                     .hasMatch(),
                 qPrintable(logs.out));

        QCOMPARE(run({QStringLiteral("stop"), QStringLiteral("ALPHA-1"), QStringLiteral("--wait")}).exitCode, 0);
        QVERIFY(hasEnded(pid));
        QCOMPARE(run({QStringLiteral("status"), m_alpha}).exitCode, 3);
    }

    void failedStart_saysWhy_data()
    {
        QTest::addColumn<QString>("binary");
        QTest::addColumn<QString>("timezone");
        QTest::addColumn<bool>("portTaken");
        QTest::addColumn<QStringList>("reasons");

        const QString server = QStringLiteral(HALVEX_SERVER_PATH);
        QTest::newRow("port taken") << server << QStringLiteral("UTC") << true
                                    << QStringList{QStringLiteral("❌ Port %1 is already in use by ")};
        QTest::newRow("server ends during start-up")
            << server << QStringLiteral("Not/AZone") << false
            << QStringList{QStringLiteral("halvex: HALVEX_TZ names no known time zone: \"Not/AZone\""),
                           QStringLiteral("❌ The server ended during start-up with exit code 2")};
        QTest::newRow("no executable") << QStringLiteral("/nonexistent/halvex") << QStringLiteral("UTC") << false
                                       << QStringList{QStringLiteral(
                                              "Error: Halvex binary not found at path: /nonexistent/halvex")};
    }

    void failedStart_saysWhy()
    {
        QFETCH(QString, binary);
        QFETCH(QString, timezone);
        QFETCH(bool, portTaken);
        QFETCH(QStringList, reasons);

        writeSettings(binary, timezone);
        QTcpServer holder;
        if (portTaken)
            QVERIFY(holder.listen(QHostAddress::Any, m_alphaPort));

        const Outcome outcome = run({QStringLiteral("start"), m_alpha, QStringLiteral("--wait")});
        QCOMPARE(outcome.exitCode, 1);
        QStringList lines = outcome.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), QStringLiteral("Instance 'alpha-1' did not start:"));
        for (QString &line : lines)
            line = line.mid(line.indexOf(QStringLiteral("] ")) + 2);
        // The reasons, not the progress of the launch.
        QVERIFY2(lines.size() == reasons.size(), qPrintable(outcome.err));
        for (qsizetype i = 0; i < reasons.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(
                         QString(reasons.at(i)).replace(QStringLiteral("%1"), QString::number(m_alphaPort))),
                     qPrintable(lines.at(i)));
        QCOMPARE(run({QStringLiteral("status"), m_alpha}).exitCode, 3);
    }

    void logsFollow_printsEntriesAsTheyCome()
    {
        // A start that fails leaves entries in the log: the follower prints them first, which shows
        // that it is connected before anything else happens.
        {
            QTcpServer holder;
            QVERIFY(holder.listen(QHostAddress::Any, m_alphaPort));
            QCOMPARE(run({QStringLiteral("start"), m_alpha}).exitCode, 1);
        }
        QProcess follower;
        follower.setProcessEnvironment(commandEnvironment());
        follower.start(QStringLiteral(HALVEX_KELVANE_PATH),
                       {QStringLiteral("logs"), m_alpha, QStringLiteral("--follow")});
        QString followed;
        const auto hasFollowed = [&followed, &follower](const QString &text) {
            followed += QString::fromUtf8(follower.readAllStandardOutput());
            return followed.contains(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(hasFollowed(QStringLiteral("] ❌ Port %1 is already in use").arg(m_alphaPort)), 15000);

        QCOMPARE(run({QStringLiteral("start"), m_alpha}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(hasFollowed(QStringLiteral("] ✓ Instance 'alpha-1' started on port")), 15000);
        // The server's own lines may arrive as one entry.
        QTRY_VERIFY_WITH_TIMEOUT(hasFollowed(QStringLiteral("Listening on http://127.0.0.1:")), 15000);
        QCOMPARE(follower.state(), QProcess::Running);
        follower.kill();
        follower.waitForFinished();
        QCOMPARE(run({QStringLiteral("stop"), m_alpha, QStringLiteral("--wait")}).exitCode, 0);
    }

    void importAndExport_reportAsTheWindowDoes()
    {
        // Not the home directory, where the application started in the background works.
        const QString caller = m_home->filePath(QStringLiteral("caller"));
        QVERIFY(QDir().mkpath(caller));
        const QString file = caller + QStringLiteral("/incoming.json");
        QJsonObject orders = instance(QStringLiteral("orders"), freePort());
        QJsonObject taken = instance(QStringLiteral("users"), m_betaPort);
        for (QJsonObject *record : {&orders, &taken}) {
            record->insert(QStringLiteral("createdAt"), QStringLiteral("2025-03-01T14:05:09Z"));
            record->insert(QStringLiteral("updatedAt"), QStringLiteral("2025-03-01T14:05:09Z"));
        }
        const QJsonObject configuration{
            {QStringLiteral("instances"), QJsonArray{orders, taken}},
            {QStringLiteral("settings"),
             QJsonObject{{QStringLiteral("dataStorageLocation"),
                          QUrl::fromLocalFile(m_home->filePath(QStringLiteral("imported"))).toString()},
                         {QStringLiteral("timezone"), QStringLiteral("UTC")}}},
            {QStringLiteral("exportedAt"), QStringLiteral("2025-03-01T14:05:09Z")},
            {QStringLiteral("version"), QStringLiteral("1.2")},
        };
        writeFile(file, QJsonDocument(configuration).toJson());

        // A relative path means the caller's working directory, not the application's.
        QProcess import;
        import.setProcessEnvironment(commandEnvironment());
        import.setWorkingDirectory(caller);
        import.start(QStringLiteral(HALVEX_KELVANE_PATH), {QStringLiteral("import"), QStringLiteral("incoming.json")});
        QVERIFY(import.waitForFinished(60000));
        QCOMPARE(import.exitCode(), 0);
        QCOMPARE(import.readAllStandardOutput(), QByteArray("Imported 1 instance(s). Skipped 1 due to conflicts.\n"));
        QCOMPARE(listed(QStringLiteral("orders"))[QStringLiteral("state")].toString(), QStringLiteral("stopped"));

        const QString exported = m_home->filePath(QStringLiteral("exported"));
        const Outcome exporting = run({QStringLiteral("export"), exported});
        QCOMPARE(exporting.exitCode, 0);
        QVERIFY(exporting.out.isEmpty());
        // It holds every token.
        QCOMPARE(QFile::permissions(exported) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        const QJsonDocument written = [&exported] {
            QFile file(exported);
            return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()) : QJsonDocument();
        }();
        QCOMPARE(written[QStringLiteral("instances")].toArray().size(), 3);

        writeFile(file, "{\"instances\": []}");
        const Outcome broken = run({QStringLiteral("import"), file});
        QCOMPARE(broken.exitCode, 1);
        QVERIFY2(broken.err.startsWith(QStringLiteral("Import failed: ")), qPrintable(broken.err));
        QVERIFY(broken.out.isEmpty());
    }

    void secondLaunch_handsOverAndLeaves()
    {
        launch();
        QCOMPARE(run({QStringLiteral("start"), m_alpha, QStringLiteral("--wait")}).exitCode, 0);

        for (const QStringList &arguments : {QStringList{}, QStringList{QStringLiteral("--background")}}) {
            const Outcome second = run(arguments);
            QCOMPARE(second.exitCode, 0);
            // A second manager would have taken the running server on as well, and said so.
            QVERIFY2(second.out.isEmpty(), qPrintable(second.out));
        }
        QCOMPARE(m_application->state(), QProcess::Running);
        QCOMPARE(applicationPid(), m_application->processId());
        QCOMPARE(run({QStringLiteral("status"), m_alpha}).exitCode, 0);

        QCOMPARE(run({QStringLiteral("quit")}).exitCode, 0);
        QVERIFY(m_application->waitForFinished(15000));
        QCOMPARE(m_application->exitCode(), 0);
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
        launch({QStringLiteral("--background")});
        QCOMPARE(run({QStringLiteral("start"), m_alpha, QStringLiteral("--wait")}).exitCode, 0);
        QCOMPARE(run({QStringLiteral("start"), m_beta, QStringLiteral("--wait")}).exitCode, 0);
        const qint64 alpha = listed(m_alpha)[QStringLiteral("pid")].toInteger();
        const qint64 beta = listed(m_beta)[QStringLiteral("pid")].toInteger();
        QVERIFY(alpha > 0 && beta > 0);

        ::kill(static_cast<pid_t>(m_application->processId()), signalNumber);
        QVERIFY(m_application->waitForFinished(15000));
        QCOMPARE(m_application->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_application->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(alpha) && hasEnded(beta), 15000);
        QVERIFY(!QFile::exists(stateDirectory() + QStringLiteral("/halvex-kelvane.lock")));
    }

    void crashedApplication_isReplacedAndFindsItsServer()
    {
        launch({QStringLiteral("--background")});
        QCOMPARE(run({QStringLiteral("start"), m_alpha, QStringLiteral("--wait")}).exitCode, 0);
        const qint64 server = listed(m_alpha)[QStringLiteral("pid")].toInteger();

        m_application->kill();
        QVERIFY(m_application->waitForFinished());
        QCOMPARE(healthStatus(m_alphaPort), QByteArray("HTTP/1.1 200 OK"));

        // The next command starts an application, which takes the lock and the socket over and
        // finds the server still running.
        const Outcome status = run({QStringLiteral("status"), m_alpha});
        QCOMPARE(status.exitCode, 0);
        QCOMPARE(listed(m_alpha)[QStringLiteral("pid")].toInteger(), server);
        const qint64 successor = applicationPid();
        QVERIFY(successor > 0 && successor != m_application->processId());

        QCOMPARE(run({QStringLiteral("stop"), m_alpha, QStringLiteral("--wait")}).exitCode, 0);
        QVERIFY(hasEnded(server));
        QCOMPARE(run({QStringLiteral("quit")}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(successor), 15000);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
