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
    int status = 0;
    QByteArray head; // lower-cased, for header checks
    QByteArray body;
};

Reply parseReply(const QByteArray &bytes)
{
    Reply reply;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (!bytes.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    reply.status = bytes.mid(9, 3).toInt();
    reply.head = bytes.left(end).toLower();
    reply.body = bytes.mid(end + 4);
    return reply;
}

// Everything the server sends until it closes the connection.
QByteArray exchange(quint16 port, const QByteArray &request, int timeoutMs = 5000)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(request);
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        received += socket.readAll();
    }
    return received + socket.readAll();
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
    return parseReply(exchange(port, request(method, path, "Bearer " + Token, body)));
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

        const Reply reply = parseReply(exchange(port, request("GET", "/health")));
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
            const Reply reply = parseReply(exchange(m_sharedPort, request(method, "/kv/absent", authorization)));
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
        const QByteArray value("binary\0value\xff\r\n", 16);
        QCOMPARE(call(m_sharedPort, "PUT", "/kv/some%20key", "first").status, 201);
        QCOMPARE(call(m_sharedPort, "PUT", "/kv/some%20key", value).status, 204);
        const Reply stored = call(m_sharedPort, "GET", "/kv/some%20key");
        QCOMPARE(stored.status, 200);
        QCOMPARE(stored.body, value);
        QCOMPARE(call(m_sharedPort, "GET", "/kv/some%20keys").status, 404);
        QCOMPARE(call(m_sharedPort, "DELETE", "/kv/some%20key").status, 204);
        QCOMPARE(call(m_sharedPort, "GET", "/kv/some%20key").status, 404);
        QCOMPARE(call(m_sharedPort, "DELETE", "/kv/some%20key").status, 404);
    }

    void keyValue_keepsAnEmptyValue()
    {
        QCOMPARE(call(m_sharedPort, "PUT", "/kv/empty").status, 201);
        const Reply stored = call(m_sharedPort, "GET", "/kv/empty");
        QCOMPARE(stored.status, 200);
        QVERIFY(stored.head.contains("content-length: 0"));
    }

    void requests_answeredAndLogged_data()
    {
        const QByteArray host = "Host: x\r\n";
        const QByteArray close = "Connection: close\r\n\r\n";
        const QByteArray auth = "Authorization: Bearer " + Token + "\r\n";
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("unknown path") << "GET /nope HTTP/1.1\r\n" + host + close << 404 << QByteArray("GET /nope 404");
        QTest::newRow("empty key") << "GET /kv/ HTTP/1.1\r\n" + host + close << 404 << QByteArray("GET /kv/ 404");
        QTest::newRow("query left out") << "GET /health?token=x HTTP/1.1\r\n" + host + close << 200
                                        << QByteArray("GET /health 200");
        QTest::newRow("HTTP/1.0 closes by default")
            << QByteArray("GET /health HTTP/1.0\r\n\r\n") << 200 << QByteArray("GET /health 200");
        QTest::newRow("bare line feeds") << QByteArray("GET /health HTTP/1.1\nHost: x\nConnection: close\n\n") << 200
                                         << QByteArray("GET /health 200");
        QTest::newRow("wrong method on health")
            << "POST /health HTTP/1.1\r\n" + host + close << 405 << QByteArray("POST /health 405");
        QTest::newRow("wrong method on a key")
            << "POST /kv/a HTTP/1.1\r\n" + auth + host + close << 405 << QByteArray("POST /kv/a 405");

        const QByteArray rejected = "Rejected a malformed request: ";
        QTest::newRow("not http") << QByteArray("HELLO\r\n\r\n") << 400 << rejected + "400 Bad Request";
        QTest::newRow("no host") << "GET /health HTTP/1.1\r\n" + close << 400 << rejected + "400 Bad Request";
        QTest::newRow("absolute target") << "GET http://x/health HTTP/1.1\r\n" + host + close << 400
                                         << rejected + "400 Bad Request";
        QTest::newRow("header without colon")
            << "GET /health HTTP/1.1\r\n" + host + "Broken\r\n" + close << 400 << rejected + "400 Bad Request";
        QTest::newRow("blank before colon")
            << "GET /health HTTP/1.1\r\n" + host + "X-A : 1\r\n" + close << 400 << rejected + "400 Bad Request";
        QTest::newRow("folded header") << "GET /health HTTP/1.1\r\n" + host + "X-A: 1\r\n  2\r\n" + close << 400
                                       << rejected + "400 Bad Request";
        QTest::newRow("two lengths") << "PUT /kv/a HTTP/1.1\r\n" + auth + host +
                                            "Content-Length: 1\r\nContent-Length: 2\r\n" + close + "ab"
                                     << 400 << rejected + "400 Bad Request";
        QTest::newRow("signed length") << "PUT /kv/a HTTP/1.1\r\n" + auth + host + "Content-Length: +1\r\n" + close +
                                              "a"
                                       << 400 << rejected + "400 Bad Request";
        QTest::newRow("chunked body") << "PUT /kv/a HTTP/1.1\r\n" + auth + host + "Transfer-Encoding: chunked\r\n" +
                                             close + "1\r\na\r\n0\r\n\r\n"
                                      << 501 << rejected + "501 Not Implemented";
        QTest::newRow("body too large") << "PUT /kv/a HTTP/1.1\r\n" + auth + host + "Content-Length: 99999999\r\n" +
                                               close
                                        << 413 << rejected + "413 Content Too Large";
        QTest::newRow("head too large") << "GET /health HTTP/1.1\r\n" + host + "X-A: " + QByteArray(20000, 'a') +
                                               "\r\n" + close
                                        << 431 << rejected + "431 Request Header Fields Too Large";
        QTest::newRow("other major version")
            << "GET /health HTTP/2.0\r\n" + host + close << 505 << rejected + "505 HTTP Version Not Supported";
    }
    void requests_answeredAndLogged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(QByteArray, logged);
        const qsizetype outputBefore = m_shared->output().size();
        const Reply reply = parseReply(exchange(m_sharedPort, bytes));
        QCOMPARE(reply.status, status);
        QVERIFY(reply.head.contains("connection: close"));
        if (status == 405)
            QVERIFY(reply.head.contains("allow: "));
        QVERIFY2(m_shared->waitForOutput(logged + '\n', outputBefore), m_shared->output().right(300).constData());
        QVERIFY(!m_shared->output().mid(outputBefore).contains(Token));
    }

    void keepAlive_servesSeveralRequestsOnOneConnection()
    {
        const QByteArray keep = "GET /health HTTP/1.1\r\nHost: x\r\n\r\n";
        const QByteArray put =
            "PUT /kv/k HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + Token + "\r\nContent-Length: 3\r\n\r\nabc";
        const QByteArray received = exchange(m_sharedPort, keep + put + request("GET", "/kv/k", "Bearer " + Token));
        QCOMPARE(received.count("HTTP/1.1 "), 3);
        QCOMPARE(received.count("Connection: keep-alive"), 2);
        QVERIFY(received.endsWith("\r\n\r\nabc"));
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
        QTest::newRow("empty token") << "HALVEX_AUTH_TOKEN"
                                     << "";
        QTest::newRow("port 0") << "HALVEX_PORT"
                                << "0";
        QTest::newRow("port 70000") << "HALVEX_PORT"
                                    << "70000";
        QTest::newRow("port 80a") << "HALVEX_PORT"
                                  << "80a";
        QTest::newRow("negative port") << "HALVEX_PORT"
                                       << "-80";
        QTest::newRow("no port") << "HALVEX_PORT" << QString();
        QTest::newRow("file in the way") << "HALVEX_DATA_DIR"
                                         << "blocker/data";
        QTest::newRow("no data dir") << "HALVEX_DATA_DIR" << QString();
        QTest::newRow("unknown zone") << "HALVEX_TZ"
                                      << "Mars/Olympus_Mons";
        QTest::newRow("no zone") << "HALVEX_TZ" << QString();
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
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        QTemporaryDir dir;
        ServerRun server(serverEnvironment(dir.path(), holder.serverPort()));
        QVERIFY(server.process().waitForFinished(10000));
        QCOMPARE(server.process().exitCode(), 1);
        const QByteArray error = server.process().readAllStandardError();
        QVERIFY2(error.contains("port " + QByteArray::number(holder.serverPort()) + " is already in use"),
                 error.constData());
    }

    void stopSignal_exitsCleanlyAndPromptly_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("idleClient");
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGTERM with an idle client") << int(SIGTERM) << true;
    }
    void stopSignal_exitsCleanlyAndPromptly()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, idleClient);
        QTemporaryDir dir;
        const quint16 port = freePort();
        ServerRun server(serverEnvironment(dir.path(), port));
        QVERIFY(server.waitUntilListening());
        QTcpSocket client;
        if (idleClient) {
            client.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(client.waitForConnected(3000));
            client.write("GET /health HTTP/1.1\r\nHost: x\r\n\r\n");
            QVERIFY(client.waitForReadyRead(3000));
        }

        QElapsedTimer timer;
        timer.start();
        server.signal(signalNumber);
        QVERIFY(server.process().waitForFinished(5000));
        QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()).constData());
        QCOMPARE(server.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.process().exitCode(), 0);
        QVERIFY(server.output().endsWith("Server stopped\n"));
    }

    void stopSignal_letsARequestUnderWayFinish()
    {
        QTemporaryDir dir;
        const quint16 port = freePort();
        auto server = std::make_unique<ServerRun>(serverEnvironment(dir.path(), port));
        QVERIFY(server->waitUntilListening());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(3000));
        client.write("PUT /kv/late HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + Token +
                     "\r\nContent-Length: 10\r\n\r\nfirst");
        QVERIFY(client.waitForBytesWritten(3000));

        server->signal(SIGTERM);
        QVERIFY(server->waitForOutput("Received SIGTERM"));
        client.write("-half");
        QByteArray received;
        while (!received.contains("\r\n\r\n") && client.waitForReadyRead(3000))
            received += client.readAll();
        const Reply reply = parseReply(received);
        QCOMPARE(reply.status, 201);
        QVERIFY(reply.head.contains("connection: close"));
        QVERIFY(server->process().waitForFinished(3000));
        QCOMPARE(server->process().exitCode(), 0);

        server = std::make_unique<ServerRun>(serverEnvironment(dir.path(), port));
        QVERIFY(server->waitUntilListening());
        QCOMPARE(call(port, "GET", "/kv/late").body, "first-half");
    }

    void stopSignal_dropsARequestThatNeverCompletes()
    {
        QTemporaryDir dir;
        const quint16 port = freePort();
        ServerRun server(serverEnvironment(dir.path(), port));
        QVERIFY(server.waitUntilListening());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(3000));
        client.write("PUT /kv/never HTTP/1.1\r\nHost: x\r\nContent-Length: 10\r\n\r\nabc");
        QVERIFY(client.waitForBytesWritten(3000));

        QElapsedTimer timer;
        timer.start();
        server.signal(SIGTERM);
        QVERIFY(server.process().waitForFinished(5000));
        QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()).constData());
        QCOMPARE(server.process().exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHalvexServer)
#include "tst_halvexserver.moc"
