// SPDX-License-Identifier: MIT
// Request bytes are put together with + and handed to QTest data rows, which need plain QByteArray values.
#undef QT_USE_QSTRINGBUILDER

#include "TestSupport.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <future>
#include <memory>

namespace {
const QByteArray Token = "s3cret-token-for-tests";
const QByteArray Bearer = "Authorization: Bearer " + Token + "\r\n";

// One run of the real server, with one variable changed (removed when the value is null), ended
// when the test is done with it.
class ServerRun : public QProcess
{
public:
    explicit ServerRun(const QString &dataDir, quint16 port, const QString &variable = {}, const QString &value = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HALVEX_AUTH_TOKEN", QString::fromLatin1(Token));
        environment.insert("HALVEX_DATA_DIR", dataDir);
        environment.insert("HALVEX_PORT", QString::number(port));
        environment.insert("HALVEX_TZ", "UTC");
        value.isNull() ? environment.remove(variable) : environment.insert(variable, value);
        setProcessEnvironment(environment);
        start(TestSupport::serverPath());
    }
    ~ServerRun() override
    {
        terminate();
        if (!waitForFinished(3000))
            kill();
        waitForFinished();
    }

    // Waits for text in the standard output at or after position from.
    bool waitForOutput(const QByteArray &text, qsizetype from = 0)
    {
        const auto seen = [&] { return output().indexOf(text, from) >= 0; };
        return QTest::qWaitFor([&] { return seen() || state() == QProcess::NotRunning; }, 10000) && seen();
    }
    bool waitUntilListening() { return waitForOutput("Listening on http://127.0.0.1:"); }
    QByteArray output() { return m_output += readAllStandardOutput(); }

private:
    QByteArray m_output;
};

// Reads from the connection until what was received holds text, or (without text) the connection ends.
QByteArray receive(QTcpSocket &socket, const QByteArray &text = {})
{
    QByteArray received;
    const QDeadlineTimer deadline(5000);
    while ((text.isEmpty() || !received.contains(text)) &&
           (socket.waitForReadyRead(int(deadline.remainingTime())) || socket.bytesAvailable()))
        received += socket.readAll();
    return received;
}

QByteArray request(const QByteArray &method, const QByteArray &path, const QByteArray &headers = Bearer,
                   const QByteArray &body = {})
{
    return method + ' ' + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The whole reply, head lower-cased.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    const QByteArray reply = receive(socket);
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return reply.left(body).toLower() + reply.mid(body);
}
} // namespace

class TestHalvexServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_sharedDir;
    quint16 m_port = TestSupport::freePort();
    std::unique_ptr<ServerRun> m_shared;

    static int status(const QByteArray &reply) { return reply.mid(9, 3).toInt(); }
    static QByteArray body(const QByteArray &reply) { return reply.mid(reply.indexOf("\r\n\r\n") + 4); }
    QByteArray call(const QByteArray &method, const QByteArray &path, const QByteArray &body = {})
    {
        return exchange(m_port, request(method, path, Bearer, body));
    }

private slots:
    void initTestCase()
    {
        m_shared = std::make_unique<ServerRun>(m_sharedDir.path(), m_port, "HALVEX_TZ", "Asia/Kolkata");
        QVERIFY(m_shared->waitUntilListening());
    }
    void cleanupTestCase() { m_shared.reset(); }

    void health_answersWithoutTokenInServerZone()
    {
        const QByteArray reply = exchange(m_port, request("GET", "/health", {}));
        const QJsonObject health = QJsonDocument::fromJson(body(reply)).object();
        const QString time = health.value("time").toString();
        QVERIFY2(status(reply) == 200 && health.value("status") == "ok" && time.endsWith("+05:30") &&
                     qAbs(QDateTime::fromString(time, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())) < 60,
                 reply.constData());
    }

    // Keys demand the token, whatever the method; bodies are bounded, also when sent in chunks; what
    // the server logs of a request never holds the token, not even from a query.
    void requests_answeredAndLogged_data()
    {
        const qsizetype limit = 8 * 1024 * 1024;
        const QByteArray chunked = "PUT /kv/b HTTP/1.1\r\nHost: x\r\n" + Bearer + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray rejected = "Rejected a malformed request: ";
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("logged");
        const auto row = [](const char *name, const QByteArray &bytes, int answer, const QByteArray &logged) {
            QTest::newRow(name) << bytes << answer << logged;
        };
        const auto get = [](const QByteArray &authorization) {
            return request("GET", "/kv/a", authorization.isEmpty() ? "" : "Authorization: " + authorization + "\r\n");
        };
        row("no token", get({}), 401, "GET /kv/a 401");
        row("wrong token", get("Bearer wrong"), 401, "GET /kv/a 401");
        row("prefix of the token", get("Bearer " + Token.left(5)), 401, "GET /kv/a 401");
        row("token with more", get("Bearer " + Token + "x"), 401, "GET /kv/a 401");
        row("other scheme", get("Basic " + Token), 401, "GET /kv/a 401");
        row("bare token", get(Token), 401, "GET /kv/a 401");
        row("scheme in lower case", get("bearer " + Token), 404, "GET /kv/a 404");
        row("put without token", request("PUT", "/kv/a", ""), 401, "PUT /kv/a 401");
        row("delete without token", request("DELETE", "/kv/a", ""), 401, "DELETE /kv/a 401");
        row("query left out", request("GET", "/health?token=" + Token), 200, "GET /health 200");
        row("body at the limit", request("PUT", "/kv/b", Bearer, QByteArray(limit, 'x')), 201, "PUT /kv/b 201");
        row("body past the limit", request("PUT", "/kv/b", Bearer, QByteArray(limit + 1, 'x')), 413,
            rejected + "413 Payload Too Large");
        row("chunks past the limit",
            chunked + QByteArray::number(limit + 1, 16) + "\r\n" + QByteArray(limit + 1, 'x') + "\r\n0\r\n\r\n", 413,
            rejected + "413 Payload Too Large");
        row("not HTTP", "HELLO\r\n\r\n", 400, rejected + "400 Bad Request");
    }
    void requests_answeredAndLogged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, answer);
        QFETCH(QByteArray, logged);
        const qsizetype before = m_shared->output().size();
        const QByteArray reply = exchange(m_port, bytes);
        QCOMPARE(status(reply), answer);
        QCOMPARE(reply.contains("www-authenticate: bearer"), answer == 401);
        QVERIFY2(m_shared->waitForOutput(logged + '\n', before), m_shared->output().right(300).constData());
        QVERIFY(!m_shared->output().contains(Token));
    }

    void keyValue_storesReplacesAndDeletes()
    {
        // The key holds an encoded line break, the value every kind of byte; an empty value is a value too.
        const QByteArray key = "/kv/some%0Akey";
        const QByteArray value("binary\0value\xff\r\n", 16);
        QCOMPARE(status(call("PUT", key)), 201);
        const QByteArray empty = call("GET", key);
        QVERIFY(status(empty) == 200 && body(empty).isEmpty());
        QCOMPARE(status(call("PUT", key, value)), 204);
        QCOMPARE(body(call("GET", key)), value);
        QCOMPARE(status(call("GET", key + "s")), 404);
        QCOMPARE(status(call("DELETE", key)), 204);
        QCOMPARE(status(call("GET", key)), 404);
        QCOMPARE(status(call("DELETE", key)), 404);
    }

    void keyValue_oneOfParallelWritersCreatesTheKey()
    {
        // The writes run on several server threads at once; an unguarded store lets two of them
        // create the key only now and then, hence a few rounds.
        for (int round = 0; round < 20; ++round) {
            const QByteArray put =
                request("PUT", "/kv/contended-" + QByteArray::number(round), Bearer, QByteArray(64 * 1024, 'v'));
            std::vector<std::future<int>> writers;
            for (int i = 0; i < 16; ++i)
                writers.push_back(std::async(std::launch::async, [&] { return status(exchange(m_port, put)); }));
            QList<int> statuses;
            for (auto &writer : writers)
                statuses.append(writer.get());
            QCOMPARE(statuses.count(201), 1);
            QCOMPARE(statuses.count(204), 15);
        }
    }

    void data_survivesRestartAndCrash()
    {
        for (const bool crash : {false, true}) {
            QTemporaryDir dir;
            const quint16 port = TestSupport::freePort();
            {
                ServerRun server(dir.path(), port);
                QVERIFY(server.waitUntilListening());
                QCOMPARE(status(exchange(port, request("PUT", "/kv/kept", Bearer, "value"))), 201);
                if (crash)
                    server.kill();
            }
            ServerRun server(dir.path(), port);
            QVERIFY(server.waitUntilListening());
            QCOMPARE(body(exchange(port, request("GET", "/kv/kept"))), "value");
        }
    }

    // A setting the user must fix ends the server with 2 and one line naming it; a start that
    // fails (the port taken, here by another halvex) with 1.
    void badStart_exitsWithALine_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("line");
        const auto row = [](const char *name, const char *variable, const char *value, int code = 2,
                            const char *line = nullptr) {
            QTest::newRow(name) << QString(variable) << QString(value) << code << QString(line ? line : variable);
        };
        row("no token", "HALVEX_AUTH_TOKEN", nullptr);
        row("port 70000", "HALVEX_PORT", "70000");
        row("file in the way", "HALVEX_DATA_DIR", "blocker/data");
        row("unknown zone", "HALVEX_TZ", "Mars/Olympus_Mons");
        row("port taken", "HALVEX_PORT", "taken", 1, "port %1 is already in use");
    }
    void badStart_exitsWithALine()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(int, code);
        QFETCH(QString, line);
        QTemporaryDir dir;
        QVERIFY(TestSupport::writeFile(dir.filePath("blocker"), "x"));
        const QString port = QString::number(m_port);
        ServerRun server(dir.path(), TestSupport::freePort(), variable,
                         value == "taken"              ? port
                         : value.startsWith("blocker") ? dir.filePath(value)
                                                       : value);
        QVERIFY(server.waitForFinished(10000));
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), code);
        const QString error = QString::fromUtf8(server.readAllStandardError());
        QVERIFY2(error.count(u'\n') == 1 && error.contains(line.replace("%1", port)), qPrintable(error));
        QVERIFY(!server.output().contains("Listening"));
    }

    // With a connection open, idle or in the middle of a request that never completes. The interim
    // answer to "Expect: 100-continue" shows that the server has begun to read the request.
    void stopSignal_exitsPromptlyWhateverClientsDo_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("begun");
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("request never completed") << int(SIGTERM) << true;
    }
    void stopSignal_exitsPromptlyWhateverClientsDo()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, begun);
        QTemporaryDir dir;
        const quint16 port = TestSupport::freePort();
        ServerRun server(dir.path(), port);
        QVERIFY(server.waitUntilListening());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write("GET /health HTTP/1.1\r\nHost: x\r\n\r\n");
        QVERIFY(receive(socket, "}\n").startsWith("HTTP/1.1 200"));
        if (begun) {
            socket.write("PUT /kv/late HTTP/1.1\r\nHost: x\r\n" + Bearer +
                         "Expect: 100-continue\r\nContent-Length: 10\r\n\r\n");
            QVERIFY(receive(socket, "\r\n\r\n").startsWith("HTTP/1.1 100"));
            socket.write("abc");
            QVERIFY(socket.waitForBytesWritten(3000));
        }
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(server.processId()), signalNumber);
        QVERIFY(server.waitForFinished(5000));
        QVERIFY2(timer.elapsed() < 2000, QByteArray::number(timer.elapsed()).constData());
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
        QVERIFY(server.output().endsWith("Server stopped\n"));
    }
};

QTEST_GUILESS_MAIN(TestHalvexServer)
#include "tst_halvexserver.moc"
