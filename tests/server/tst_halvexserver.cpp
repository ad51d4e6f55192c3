// SPDX-License-Identifier: MIT
// Request bytes are put together with + and handed to QTest data rows, which need plain QByteArray values.
#undef QT_USE_QSTRINGBUILDER

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
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
#include <vector>

namespace {
const QByteArray Token = "s3cret-token-for-tests";

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QProcessEnvironment serverEnvironment(const QString &dataDir, quint16 port, const QString &zone = "Europe/Vienna")
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HALVEX_AUTH_TOKEN", QString::fromLatin1(Token));
    environment.insert("HALVEX_DATA_DIR", dataDir);
    environment.insert("HALVEX_PORT", QString::number(port));
    environment.insert("HALVEX_TZ", zone);
    return environment;
}

// One run of the real server. Stopped politely when the test is done with it.
class ServerRun
{
public:
    explicit ServerRun(const QProcessEnvironment &environment)
    {
        m_process.setProgram(QStringLiteral(HALVEX_SERVER_PATH));
        m_process.setProcessEnvironment(environment);
        m_process.start();
    }
    ~ServerRun()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished();
    }

    // Waits for text to appear in the standard output at or after position from.
    bool waitForOutput(const QByteArray &text, qsizetype from = 0, int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (m_output.indexOf(text, from) < 0) {
            if (deadline.hasExpired() || (m_process.state() == QProcess::NotRunning && !m_process.bytesAvailable()))
                return false;
            m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
            m_output += m_process.readAllStandardOutput();
        }
        return true;
    }
    bool waitUntilListening() { return waitForOutput("Listening on http://127.0.0.1:"); }
    QByteArray output()
    {
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }
    QProcess &process() { return m_process; }
    void signal(int signalNumber) { ::kill(pid_t(m_process.processId()), signalNumber); }

private:
    QProcess m_process;
    QByteArray m_output;
};

struct Reply
{
    int status = 0;  // 0 while the reply is incomplete
    QByteArray head; // lower-cased, for header checks
    QByteArray body;
};

Reply parseReply(const QByteArray &bytes)
{
    Reply reply;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (!bytes.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    const QByteArray head = bytes.left(end).toLower();
    const QRegularExpressionMatch length = QRegularExpression("\r\ncontent-length: (\\d+)").match(head);
    const qsizetype bodySize = length.hasMatch() ? length.captured(1).toLongLong() : 0;
    if (bytes.size() < end + 4 + bodySize)
        return reply;
    reply.status = bytes.mid(9, 3).toInt();
    reply.head = head;
    reply.body = bytes.mid(end + 4, bodySize);
    return reply;
}

// The next reply on the connection, or one with status 0 when none arrives in time.
Reply readReply(QTcpSocket &socket, int timeoutMs = 5000)
{
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        received += socket.readAll();
        const Reply reply = parseReply(received);
        if (reply.status != 0 || deadline.hasExpired() ||
            (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0))
            return reply;
        socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

Reply exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    return readReply(socket);
}

QByteArray request(const QByteArray &method, const QByteArray &path, const QByteArray &authorization = {},
                   const QByteArray &body = {})
{
    QByteArray bytes = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!authorization.isEmpty())
        bytes += "Authorization: " + authorization + "\r\n";
    if (method == "PUT")
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return bytes + "\r\n" + body;
}

Reply call(quint16 port, const QByteArray &method, const QByteArray &path, const QByteArray &body = {})
{
    return exchange(port, request(method, path, "Bearer " + Token, body));
}
} // namespace

class TestHalvexServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_sharedDir;
    quint16 m_sharedPort = 0;
    std::unique_ptr<ServerRun> m_shared;

private slots:
    void initTestCase()
    {
        m_sharedPort = freePort();
        m_shared = std::make_unique<ServerRun>(serverEnvironment(m_sharedDir.path(), m_sharedPort));
        QVERIFY(m_shared->waitUntilListening());
    }
    void cleanupTestCase() { m_shared.reset(); }

    void health_answersWithoutTokenInServerZone_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("offset");
        QTest::newRow("UTC") << "UTC"
                             << "+00:00";
        QTest::newRow("half-hour offset") << "Asia/Kolkata"
                                          << "+05:30";
        QTest::newRow("west of Greenwich") << "America/Sao_Paulo"
                                           << "-03:00";
    }
    void health_answersWithoutTokenInServerZone()
    {
        QFETCH(QString, zone);
        QFETCH(QString, offset);
        QTemporaryDir dir;
        const quint16 port = freePort();
        ServerRun server(serverEnvironment(dir.path(), port, zone));
        QVERIFY(server.waitUntilListening());

        const Reply reply = exchange(port, request("GET", "/health"));
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.head.contains("content-type: application/json"));
        const QJsonObject health = QJsonDocument::fromJson(reply.body).object();
        QCOMPARE(health.value("status").toString(), "ok");
        QVERIFY(!health.value("version").toString().isEmpty());
        const QString time = health.value("time").toString();
        QVERIFY2(
            QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$").match(time).hasMatch(),
            qPrintable(time));
        QVERIFY2(time.endsWith(offset), qPrintable(time));
        const QDateTime parsed = QDateTime::fromString(time, Qt::ISODate);
        QVERIFY(qAbs(parsed.secsTo(QDateTime::currentDateTimeUtc())) < 60);
    }

    void keyValue_demandsTheToken_data()
    {
        QTest::addColumn<QByteArray>("authorization");
        QTest::addColumn<int>("status");
        QTest::newRow("none") << QByteArray() << 401;
        QTest::newRow("wrong token") << QByteArray("Bearer wrong") << 401;
        QTest::newRow("prefix of the token") << "Bearer " + Token.left(5) << 401;
        QTest::newRow("token with more") << "Bearer " + Token + "x" << 401;
        QTest::newRow("other scheme") << "Basic " + Token << 401;
        QTest::newRow("bare token") << Token << 401;
        QTest::newRow("scheme in lower case") << "bearer " + Token << 404;
    }
    void keyValue_demandsTheToken()
    {
        QFETCH(QByteArray, authorization);
        QFETCH(int, status);
        for (const QByteArray method : {"GET", "PUT", "DELETE"}) {
            const Reply reply = exchange(m_sharedPort, request(method, "/kv/absent", authorization));
            if (method == "PUT" && status == 404)
                QCOMPARE(reply.status, 201);
            else
                QCOMPARE(reply.status, status);
            QCOMPARE(reply.head.contains("www-authenticate: bearer"), status == 401);
            call(m_sharedPort, "DELETE", "/kv/absent");
        }
    }

    void keyValue_storesReplacesAndDeletes()
    {
        // The key holds an encoded line break, the value every kind of byte; an empty value is a value too.
        const QByteArray key = "/kv/some%0Akey";
        const QByteArray value("binary\0value\xff\r\n", 16);
        QCOMPARE(call(m_sharedPort, "PUT", key).status, 201);
        QVERIFY(call(m_sharedPort, "GET", key).head.contains("content-length: 0"));
        const Reply replaced = call(m_sharedPort, "PUT", key, value);
        QCOMPARE(replaced.status, 204);
        QVERIFY(!replaced.head.contains("content-length"));
        const Reply stored = call(m_sharedPort, "GET", key);
        QCOMPARE(stored.status, 200);
        QCOMPARE(stored.body, value);
        QCOMPARE(call(m_sharedPort, "GET", key + "s").status, 404);
        QCOMPARE(call(m_sharedPort, "DELETE", key).status, 204);
        QCOMPARE(call(m_sharedPort, "GET", key).status, 404);
        QCOMPARE(call(m_sharedPort, "DELETE", key).status, 404);
    }

    void keyValue_servesParallelWritersOfOneKey()
    {
        // The writes run on several server threads at once; exactly one of them may have created the key. A few
        // rounds, since an unguarded store gets it wrong only now and then.
        for (int round = 0; round < 20; ++round) {
            const QByteArray path = "/kv/contended-" + QByteArray::number(round);
            std::vector<std::unique_ptr<QTcpSocket>> clients;
            for (int i = 0; i < 16; ++i) {
                clients.push_back(std::make_unique<QTcpSocket>());
                clients.back()->connectToHost(QHostAddress::LocalHost, m_sharedPort);
                QVERIFY(clients.back()->waitForConnected(3000));
            }
            for (const auto &client : clients) {
                client->write(request("PUT", path, "Bearer " + Token, QByteArray(64 * 1024, 'v')));
                QVERIFY(client->waitForBytesWritten(3000));
            }
            QList<int> statuses;
            for (const auto &client : clients)
                statuses.append(readReply(*client).status);
            QCOMPARE(statuses.count(201), 1);
            QCOMPARE(statuses.count(204), 15);
        }
    }

    void requests_answeredAndLogged_data()
    {
        const QByteArray host = "Host: x\r\n";
        const QByteArray close = "Connection: close\r\n\r\n";
        const QByteArray put = "PUT /kv/limit HTTP/1.1\r\nAuthorization: Bearer " + Token + "\r\n" + host;
        const qsizetype limit = 8 * 1024 * 1024;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("unknown path") << "GET /nope HTTP/1.1\r\n" + host + close << 404 << QByteArray("GET /nope 404");
        QTest::newRow("empty key") << "GET /kv/ HTTP/1.1\r\n" + host + close << 404 << QByteArray("GET /kv/ 404");
        QTest::newRow("query left out") << "GET /health?token=x HTTP/1.1\r\n" + host + close << 200
                                        << QByteArray("GET /health 200");
        QTest::newRow("wrong method on health")
            << "POST /health HTTP/1.1\r\n" + host + close << 405 << QByteArray("POST /health 405");
        QTest::newRow("wrong method on a key")
            << "PATCH /kv/a HTTP/1.1\r\nAuthorization: Bearer " + Token + "\r\n" + host + close << 405
            << QByteArray("PATCH /kv/a 405");
        QTest::newRow("body at the limit")
            << put + "Content-Length: " + QByteArray::number(limit) + "\r\n" + close + QByteArray(limit, 'x') << 201
            << QByteArray("PUT /kv/limit 201");

        const QByteArray rejected = "Rejected a malformed request: ";
        QTest::newRow("not http") << QByteArray("HELLO\r\n\r\n") << 400 << rejected + "400 Bad Request";
        QTest::newRow("control byte in target")
            << "GET /he\x01lth HTTP/1.1\r\n" + host + close << 400 << rejected + "400 Bad Request";
        QTest::newRow("header too long") << "GET /health HTTP/1.1\r\n" + host + "X-A: " + QByteArray(9000, 'a') +
                                                "\r\n" + close
                                         << 400 << rejected + "400 Bad Request";
        QTest::newRow("body past the limit")
            << put + "Content-Length: " + QByteArray::number(limit + 1) + "\r\n" + close + QByteArray(limit + 1, 'x')
            << 413 << rejected + "413 Payload Too Large";
        QTest::newRow("chunked body past the limit")
            << put + "Transfer-Encoding: chunked\r\n" + close + QByteArray::number(limit + 1, 16) + "\r\n" +
                   QByteArray(limit + 1, 'x') + "\r\n0\r\n\r\n"
            << 413 << rejected + "413 Payload Too Large";
    }
    void requests_answeredAndLogged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(QByteArray, logged);
        const qsizetype outputBefore = m_shared->output().size();
        const Reply reply = exchange(m_sharedPort, bytes);
        QCOMPARE(reply.status, status);
        if (status >= 400)
            QVERIFY(reply.head.contains("content-type: application/json"));
        if (status == 405)
            QVERIFY(reply.head.contains("allow: "));
        QVERIFY2(m_shared->waitForOutput(logged + '\n', outputBefore), m_shared->output().right(300).constData());
        QVERIFY(!m_shared->output().mid(outputBefore).contains(Token));
    }

    void data_survivesRestartAndCrash_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::newRow("stopped") << false;
        QTest::newRow("killed") << true;
    }
    void data_survivesRestartAndCrash()
    {
        QFETCH(bool, crash);
        QTemporaryDir dir;
        const quint16 port = freePort();
        {
            ServerRun server(serverEnvironment(dir.path(), port));
            QVERIFY(server.waitUntilListening());
            QCOMPARE(call(port, "PUT", "/kv/kept", "value").status, 201);
            if (crash) {
                server.process().kill();
                QVERIFY(server.process().waitForFinished(3000));
            }
        }
        QVERIFY(QFile::exists(dir.filePath("halvex.db")));
        ServerRun server(serverEnvironment(dir.path(), port));
        QVERIFY(server.waitUntilListening());
        const Reply reply = call(port, "GET", "/kv/kept");
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.body, "value");
    }

    void invalidEnvironment_exitsWithCode2_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::newRow("no token") << "HALVEX_AUTH_TOKEN" << QString();
        QTest::newRow("port 70000") << "HALVEX_PORT"
                                    << "70000";
        QTest::newRow("port 80a") << "HALVEX_PORT"
                                  << "80a";
        QTest::newRow("file in the way") << "HALVEX_DATA_DIR"
                                         << "blocker/data";
        QTest::newRow("unknown zone") << "HALVEX_TZ"
                                      << "Mars/Olympus_Mons";
    }
    void invalidEnvironment_exitsWithCode2()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QTemporaryDir dir;
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QProcessEnvironment environment = serverEnvironment(dir.path(), freePort());
        if (value.isNull())
            environment.remove(variable);
        else
            environment.insert(variable, value.startsWith("blocker") ? dir.filePath(value) : value);

        ServerRun server(environment);
        QVERIFY(server.process().waitForFinished(10000));
        QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.process().exitCode(), 2);
        const QByteArray error = server.process().readAllStandardError();
        QCOMPARE(error.count('\n'), 1);
        QVERIFY2(error.contains(variable.toLatin1()), error.constData());
        QVERIFY(!server.output().contains("Listening"));
    }

    void takenPort_exitsWithCode1()
    {
        // Held by another halvex: two servers must not share a port, whatever socket options both ask for.
        QTemporaryDir dir;
        ServerRun server(serverEnvironment(dir.path(), m_sharedPort));
        QVERIFY(server.process().waitForFinished(10000));
        QCOMPARE(server.process().exitCode(), 1);
        const QByteArray error = server.process().readAllStandardError();
        QVERIFY2(error.contains("port " + QByteArray::number(m_sharedPort) + " is already in use"), error.constData());
    }

    void stopSignal_finishesRequestsUnderWayAndExitsPromptly_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("client");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("rest");
        // The interim answer to "Expect: 100-continue" shows that the server has begun to read the request: one
        // that it has not begun to read at the stop is closed unanswered.
        const QByteArray put = "PUT /kv/late HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + Token +
                               "\r\nExpect: 100-continue\r\nContent-Length: 10\r\n\r\n";
        QTest::newRow("SIGTERM") << int(SIGTERM) << false << QByteArray() << QByteArray();
        QTest::newRow("SIGINT") << int(SIGINT) << false << QByteArray() << QByteArray();
        QTest::newRow("idle connection") << int(SIGTERM) << true << QByteArray() << QByteArray();
        QTest::newRow("request completed after the signal")
            << int(SIGTERM) << true << put + "first" << QByteArray("-half");
        QTest::newRow("request never completed") << int(SIGTERM) << true << put + "abc" << QByteArray();
    }
    void stopSignal_finishesRequestsUnderWayAndExitsPromptly()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, client);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, rest);
        QTemporaryDir dir;
        const quint16 port = freePort();
        ServerRun server(serverEnvironment(dir.path(), port));
        QVERIFY(server.waitUntilListening());
        QTcpSocket socket;
        if (client) {
            socket.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(socket.waitForConnected(3000));
            socket.write("GET /health HTTP/1.1\r\nHost: x\r\n\r\n");
            QCOMPARE(readReply(socket).status, 200);
        }
        if (!sent.isEmpty()) {
            const qsizetype head = sent.indexOf("\r\n\r\n") + 4;
            socket.write(sent.left(head));
            QCOMPARE(readReply(socket).status, 100);
            socket.write(sent.mid(head));
            QVERIFY(socket.waitForBytesWritten(3000));
        }

        QElapsedTimer timer;
        timer.start();
        server.signal(signalNumber);
        if (!rest.isEmpty()) {
            QVERIFY(server.waitForOutput("Received SIGTERM, finishing open requests"));
            socket.write(rest);
            const Reply reply = readReply(socket);
            QCOMPARE(reply.status, 201);
            QVERIFY(reply.head.contains("connection: close"));
        }
        QVERIFY(server.process().waitForFinished(5000));
        QVERIFY2(timer.elapsed() < 2000, QByteArray::number(timer.elapsed()).constData());
        QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.process().exitCode(), 0);
        QVERIFY(server.output().endsWith("Server stopped\n"));
    }
};

QTEST_GUILESS_MAIN(TestHalvexServer)
#include "tst_halvexserver.moc"
