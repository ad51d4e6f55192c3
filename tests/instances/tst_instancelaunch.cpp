// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "instances/ServerOutput.h"

#include "TestSupport.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

// Launch, output, stop and run state against real processes: the real server, tiny misbehaving
// programs, a shell script and files that cannot run.
using TestSupport::logMessages;

class TestInstanceLaunch : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<InstanceManager> m_manager;

    static QString program(const char *name) { return QStringLiteral(TEST_PROGRAMS_DIR "/") + QLatin1String(name); }
    QString storage() const { return m_dir->filePath(QStringLiteral("data")); }
    void useExecutable(const QString &path) { m_settings->setBinaryPath(QUrl::fromLocalFile(path)); }
    HalvexInstance add(const QString &name, qint64 port = 8080, const QString &token = QStringLiteral("token"))
    {
        m_manager->addInstance(HalvexInstance::create(name, token, port));
        HalvexInstance added = m_manager->instances().last();
        m_manager->clearLogs(added.id);
        return added;
    }
    // A record that says it runs while no server belongs to it: an update cannot make one, an add can.
    HalvexInstance addStale(const QString &name, qint64 port)
    {
        HalvexInstance stale = HalvexInstance::create(name, QStringLiteral("token"), port);
        stale.isRunning = true;
        m_manager->addInstance(stale);
        m_manager->clearLogs(stale.id);
        return stale;
    }
    HalvexInstance current(const HalvexInstance &instance) const { return *m_manager->instance(instance.id); }
    QStringList messages(const HalvexInstance &instance) const { return logMessages(m_manager->logs(instance.id)); }
    bool logged(const HalvexInstance &instance, const QString &message) const
    {
        return messages(instance).contains(message);
    }
    QString writeFile(const QString &name, const QByteArray &bytes, QFileDevice::Permissions permissions) const
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
            file.close();
            file.setPermissions(permissions);
        }
        return path;
    }
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }
    // Starts and waits until the instance is marked running.
    void startAndWait(const HalvexInstance &instance)
    {
        m_manager->startInstance(instance);
        QTRY_VERIFY(current(instance).isRunning);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<AppSettings>(AppPaths(m_dir->filePath(QStringLiteral("state"))));
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(storage()));
        m_settings->setTimezone(QStringLiteral("UTC"));
        m_manager =
            std::make_unique<InstanceManager>(m_settings.get(), m_dir->filePath(QStringLiteral("instances.json")));
    }
    void cleanup()
    {
        // Servers outlive their manager: what the test left running is ended here.
        for (const HalvexInstance &instance : m_manager->instances()) {
            if (const auto pid = m_manager->processId(instance.id))
                ::kill(static_cast<pid_t>(*pid), SIGKILL);
        }
        m_manager.reset();
    }

    void environment_passedWithTheFourVariables()
    {
        qputenv("HALVEX_PORT", "1");
        qputenv("HALVEX_TEST_MARKER", "kept");
        useExecutable(QStringLiteral("/usr/bin/env"));
        const HalvexInstance instance = add(QStringLiteral("env"), 8080, QStringLiteral("0123456789abcdef"));
        m_manager->startInstance(instance);
        QTRY_VERIFY(logged(instance, QStringLiteral("Instance stopped")));
        qunsetenv("HALVEX_PORT");
        qunsetenv("HALVEX_TEST_MARKER");

        const QStringList log = messages(instance);
        const QString output = log.join(u'\n');
        QVERIFY(output.contains(QStringLiteral("\nHALVEX_AUTH_TOKEN=0123456789abcdef")));
        QVERIFY(output.contains(QStringLiteral("\nHALVEX_DATA_DIR=") + storage() + QStringLiteral("/env\n")));
        QVERIFY(output.contains(QStringLiteral("\nHALVEX_PORT=8080")));
        QVERIFY(!output.contains(QStringLiteral("HALVEX_PORT=1\n")));
        QVERIFY(output.contains(QStringLiteral("HALVEX_TZ=UTC")));
        QVERIFY(output.contains(QStringLiteral("HALVEX_TEST_MARKER=kept")));

        const QStringList expectedStart{
            QStringLiteral("Verifying binary: /usr/bin/env"),
        };
        QCOMPARE(log.first(), expectedStart.first());
        QVERIFY(log.at(1).startsWith(QStringLiteral("Binary type: ELF 64-bit")));
        QCOMPARE(log.at(2), QStringLiteral("Binary architectures: x86_64"));
        QCOMPARE(log.at(3), QStringLiteral("✅ Architecture check passed (x86_64)"));
        QCOMPARE(log.at(4), QStringLiteral("✓ Data directory created: ") + storage() + QStringLiteral("/env"));
        QCOMPARE(
            log.mid(5, 5),
            (QStringList{QStringLiteral("Environment variables:"), QStringLiteral("  HALVEX_AUTH_TOKEN: 0123456789***"),
                         QStringLiteral("  HALVEX_DATA_DIR: ") + storage() + QStringLiteral("/env"),
                         QStringLiteral("  HALVEX_PORT: 8080"), QStringLiteral("  HALVEX_TZ: UTC")}));
        QCOMPARE(log.at(10), QStringLiteral("✓ Instance 'env' started on port 8080"));
        QVERIFY(log.at(11).startsWith(QStringLiteral("Process ID: ")));
        QVERIFY(log.contains(QStringLiteral("Instance stopped")));
    }

    void shortToken_echoedWhole()
    {
        useExecutable(QStringLiteral("/bin/true"));
        const HalvexInstance instance = add(QStringLiteral("short"), 8080, QStringLiteral("abcd"));
        m_manager->startInstance(instance);
        QVERIFY(logged(instance, QStringLiteral("  HALVEX_AUTH_TOKEN: abcd***")));
        QTRY_VERIFY(logged(instance, QStringLiteral("Instance stopped")));
    }

    void quickExit_startedLinesThenStopped()
    {
        useExecutable(QStringLiteral("/bin/true"));
        const HalvexInstance instance = add(QStringLiteral("quick"));
        QSignalSpy changes(m_manager.get(), &InstanceManager::runStateChanged);
        m_manager->startInstance(instance);
        QVERIFY(m_manager->hasProcess(instance.id));
        QTRY_VERIFY(logged(instance, QStringLiteral("Instance stopped")));
        const QStringList log = messages(instance);
        QVERIFY(log.indexOf(QStringLiteral("✓ Instance 'quick' started on port 8080")) <
                log.indexOf(QStringLiteral("Instance stopped")));
        QVERIFY(!current(instance).isRunning);
        QVERIFY(!m_manager->hasProcess(instance.id));
        // Marked running at the start, not running at the end.
        QCOMPARE(changes.count(), 2);
        QCOMPARE(changes.at(0), QVariantList{instance.id});
    }

    void stop_waitsForTheExit()
    {
        useExecutable(program("ignore_term"));
        const HalvexInstance instance = add(QStringLiteral("stubborn"));
        startAndWait(instance);
        QTRY_VERIFY(logged(instance, QStringLiteral("ignoring SIGTERM")));
        m_manager->stopInstance(current(instance));
        m_manager->stopInstance(current(instance));
        // One request is enough; the second one is not sent again.
        QCOMPARE(messages(instance).count(QStringLiteral("Stopping instance 'stubborn'...")), 1);
        // Still running: the flag only falls when the process has gone.
        QVERIFY(current(instance).isRunning);
        QVERIFY(m_manager->hasProcess(instance.id));
        QVERIFY(!logged(instance, QStringLiteral("Instance stopped")));
    }

    void start_ignoredWhileRunningOrStale()
    {
        useExecutable(program("ignore_term"));
        const HalvexInstance instance = add(QStringLiteral("once"));
        m_manager->startInstance(instance);
        const int linesAtStart = m_manager->logs(instance.id).size();
        m_manager->startInstance(instance); // still starting: must not start a second process
        QCOMPARE(m_manager->logs(instance.id).size(), linesAtStart);
        QTRY_VERIFY(current(instance).isRunning);
        const int linesRunning = m_manager->logs(instance.id).size();
        m_manager->startInstance(current(instance));
        QCOMPARE(m_manager->logs(instance.id).size(), linesRunning);

        const HalvexInstance stale = addStale(QStringLiteral("stale"), 9000);
        m_manager->startInstance(current(stale));
        m_manager->stopInstance(current(stale));
        QVERIFY(m_manager->logs(stale.id).isEmpty());
    }

    void stopAll_stopsOnlyRunningOnes()
    {
        useExecutable(program("ignore_term"));
        const HalvexInstance idle = add(QStringLiteral("idle"), 1);
        const HalvexInstance busy = add(QStringLiteral("busy"), 2);
        const HalvexInstance stale = addStale(QStringLiteral("stale"), 3);
        startAndWait(busy);
        m_manager->stopAllInstances();
        QVERIFY(!logged(idle, QStringLiteral("Stopping instance 'idle'...")));
        QVERIFY(logged(busy, QStringLiteral("Stopping instance 'busy'...")));
        QVERIFY(m_manager->logs(stale.id).isEmpty());
    }

    void refusedExecutables_data()
    {
        QTest::addColumn<QString>("file"); // under the temporary directory; empty: none configured
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("not configured")
            << QString() << QByteArray()
            << QStringList{
                   QStringLiteral("Error: Halvex binary not configured. Please download and configure the binary "
                                  "in Settings.")};
        QTest::newRow("missing") << QStringLiteral("gone") << QByteArray()
                                 << QStringList{
                                        QStringLiteral("Error: Halvex binary not found at path: <path>"),
                                        QStringLiteral("Please download or select a valid binary in Settings.")};
        QTest::newRow("named pipe") << QStringLiteral("pipe") << QByteArray()
                                    << QStringList{
                                           QStringLiteral("Verifying binary: <path>"),
                                           QStringLiteral("❌ ERROR: Binary is a named pipe, not a regular file"),
                                           QStringLiteral("Please download or select a valid binary in Settings.")};
        QTest::newRow("script") << QStringLiteral("script.sh") << QByteArray("#!/bin/sh\necho hi\n")
                                << QStringList{QStringLiteral("Verifying binary: <path>"),
                                               QStringLiteral("Binary type: POSIX shell script, ASCII text executable"),
                                               QStringLiteral("Binary architectures: "),
                                               QStringLiteral("❌ ERROR: Binary doesn't support x86_64 architecture!"),
                                               QStringLiteral("You need a binary with x86_64 support for your Mac")};
    }
    void refusedExecutables()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        const QString path = m_dir->filePath(file);
        if (!file.isEmpty()) {
            if (!content.isEmpty())
                writeFile(file, content, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            if (file == u"pipe")
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0700), 0);
            useExecutable(path);
        }
        const HalvexInstance instance = add(QStringLiteral("refused"));
        m_manager->startInstance(instance);
        expected.replaceInStrings(QStringLiteral("<path>"), path);
        QCOMPARE(messages(instance), expected);
        QVERIFY(!m_manager->hasProcess(instance.id));
        QVERIFY(!current(instance).isRunning);
    }

    void notExecutable_warnsThenFailsToStart()
    {
        QFile elf(QStringLiteral("/bin/true"));
        QVERIFY(elf.open(QIODevice::ReadOnly));
        const QString path = writeFile(QStringLiteral("halvex"), elf.readAll(),
                                       QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        const bool quarantined =
            ::setxattr(QFile::encodeName(path).constData(), "user.com.apple.quarantine", "0081;", 5, 0) == 0;
        useExecutable(path);
        const HalvexInstance instance = add(QStringLiteral("locked"));
        m_manager->startInstance(instance);
        QTRY_VERIFY(messages(instance).last().startsWith(QStringLiteral("Failed to start instance: ")));

        QStringList expected{QStringLiteral("⚠️ Warning: Binary may not be executable (attempting anyway)"),
                             QStringLiteral("Current permissions: 644")};
        if (quarantined) {
            expected << QStringLiteral("⚠️ File has quarantine attribute - this may cause issues")
                     << QStringLiteral("To fix: xattr -d com.apple.quarantine \"") + path + u'"';
        }
        expected << QStringLiteral("If this fails, run: chmod +x \"") + path + u'"';
        const QStringList log = messages(instance);
        const qsizetype warning = log.indexOf(expected.first());
        QVERIFY(warning > 0);
        QCOMPARE(log.mid(warning, expected.size()), expected);
        QCOMPARE(log.last(), QStringLiteral("Failed to start instance: Permission denied"));
        QVERIFY(!m_manager->hasProcess(instance.id));
        QVERIFY(!current(instance).isRunning);
    }

    void output_oneChunkOneTrimmedEntry()
    {
        useExecutable(program("split_utf8"));
        const HalvexInstance instance = add(QStringLiteral("chatty"));
        m_manager->startInstance(instance);
        QTRY_VERIFY(logged(instance, QStringLiteral("Instance stopped")));
        const QString output = messages(instance).join(QString());
        QVERIFY2(output.contains(QStringLiteral("é done")), qPrintable(output));
        QVERIFY(!output.contains(QChar::ReplacementCharacter));
        QVERIFY(!output.contains(u'\n'));
    }

    void output_linesKeptWholeAndWaitingTextLogged()
    {
        useExecutable(program("partial_line"));
        const HalvexInstance instance = add(QStringLiteral("prompt"));
        startAndWait(instance);
        // A prompt without a line end is logged while the server waits for input.
        QTRY_VERIFY(logged(instance, QStringLiteral("waiting")));
        // A long line is cut only where an entry must end, not wherever a read ended.
        QStringList pieces = messages(instance).filter(QRegularExpression(QStringLiteral("^x+$")));
        QCOMPARE(pieces.size(), 4);
        QCOMPARE(pieces.join(QString()), QString(200000, u'x'));

        m_manager->stopInstance(current(instance));
        QTRY_VERIFY(logged(instance, QStringLiteral("Instance stopped")));
        const QStringList log = messages(instance);
        QCOMPARE(log.at(log.indexOf(QStringLiteral("Instance stopped")) - 1), QStringLiteral("bye"));
    }

    void flood_losesNothing()
    {
        qputenv("FLOOD_LINES", "20000");
        useExecutable(program("flood"));
        const HalvexInstance instance = add(QStringLiteral("flood"));
        m_manager->startInstance(instance);
        QTRY_VERIFY_WITH_TIMEOUT(logged(instance, QStringLiteral("Instance stopped")), 30000);
        qunsetenv("FLOOD_LINES");
        // Entries hold whole lines, as many as one read brought: small enough that 1000 of them
        // fit in bounded memory.
        QStringList lines;
        for (const QString &message : messages(instance)) {
            QVERIFY(message.size() <= ServerOutput::maximumChunk + 64);
            if (message.startsWith(QStringLiteral("line ")))
                lines += message.split(u'\n');
        }
        QCOMPARE(lines.size(), 20000);
        for (int i = 0; i < 20000; ++i)
            QCOMPARE(lines.at(i), QStringLiteral("line %1 of a server that talks a lot").arg(i));
    }

#ifdef HALVEX_SERVER_PATH
    void realServer_startServeStop()
    {
        useExecutable(QStringLiteral(HALVEX_SERVER_PATH));
        const quint16 port = freePort();
        const HalvexInstance instance = add(QStringLiteral("real"), port, QStringLiteral("secret-token"));
        startAndWait(instance);

        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/health").arg(port)));
        int status = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                std::unique_ptr<QNetworkReply> reply(network.get(request));
                QSignalSpy finished(reply.get(), &QNetworkReply::finished);
                finished.wait(2000);
                status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                return status == 200;
            }(),
            10000);
        QVERIFY(messages(instance).size() > 12); // the server's own start-up lines arrived in the log

        m_manager->stopInstance(current(instance));
        QTRY_VERIFY(logged(instance, QStringLiteral("Instance stopped")));
        QVERIFY(!current(instance).isRunning);
        QVERIFY(!m_manager->hasProcess(instance.id));
        QVERIFY(QFileInfo(storage() + QStringLiteral("/real")).isDir());
    }
#endif
};

QTEST_GUILESS_MAIN(TestInstanceLaunch)
#include "tst_instancelaunch.moc"
