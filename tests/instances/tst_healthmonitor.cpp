// SPDX-License-Identifier: MIT
#include "instances/HealthMonitor.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <unistd.h>

// A stand-in for a server's HTTP side: counts the requests it gets and answers each with the
// status it was given, or closes the connection without an answer when that is 0.
class StandInServer : public QObject
{
public:
    explicit StandInServer(int status)
        : m_status(status)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    int requests() const { return m_requests; }
    const QByteArray &lastRequest() const { return m_lastRequest; }

private:
    void read(QTcpSocket *socket)
    {
        m_buffer[socket] += socket->readAll();
        QByteArray &buffer = m_buffer[socket];
        for (qsizetype end = buffer.indexOf("\r\n\r\n"); end >= 0; end = buffer.indexOf("\r\n\r\n")) {
            m_lastRequest = buffer.left(end);
            buffer.remove(0, end + 4);
            ++m_requests;
            if (m_status == 0) {
                socket->abort();
                return;
            }
            socket->write("HTTP/1.1 " + QByteArray::number(m_status) + " Status\r\nContent-Length: 0\r\n\r\n");
        }
    }

    QTcpServer m_server;
    int m_status;
    int m_requests = 0;
    QByteArray m_lastRequest;
    QHash<QTcpSocket *, QByteArray> m_buffer;
};

class TestHealthMonitor : public QObject
{
    Q_OBJECT

private slots:
    void answer_isTheServersStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("answer");
        QTest::newRow("OK") << 200 << int(HealthMonitor::Answer::Ok);
        QTest::newRow("unavailable") << 503 << int(HealthMonitor::Answer::Status);
        QTest::newRow("closed without an answer") << 0 << int(HealthMonitor::Answer::NoAnswer);
    }

    void answer_isTheServersStatus()
    {
        QFETCH(int, status);
        QFETCH(int, answer);
        StandInServer server(status);
        HealthMonitor monitor;
        monitor.watch(::getpid(), server.port());
        QTRY_COMPARE(int(monitor.reading().answer), answer);
        QVERIFY(server.lastRequest().startsWith("GET /health HTTP/1.1"));
        if (status != 0)
            QCOMPARE(monitor.reading().status, status);
        // This process stands in for the server's.
        QVERIFY(monitor.reading().residentBytes.value_or(0) > 0);
    }

    void nothingListening_isNoAnswer()
    {
        quint16 port = 0;
        {
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost, 0);
            port = closed.serverPort();
        }
        HealthMonitor monitor;
        monitor.watch(::getpid(), port);
        QTRY_COMPARE(monitor.reading().answer, HealthMonitor::Answer::NoAnswer);
    }

    void asks_atOnceThenRepeatedlyUntilStopped()
    {
        StandInServer server(200);
        HealthMonitor monitor;
        monitor.setInterval(std::chrono::milliseconds(50));
        monitor.watch(::getpid(), server.port());
        QTRY_VERIFY(server.requests() >= 3);
        monitor.stop();
        QVERIFY(!monitor.isWatching());
        // Once stopped nothing more is asked: a watched other server shows the time that passed.
        const int asked = server.requests();
        StandInServer other(200);
        HealthMonitor witness;
        witness.setInterval(std::chrono::milliseconds(50));
        witness.watch(::getpid(), other.port());
        QTRY_VERIFY(other.requests() >= 5);
        QCOMPARE(server.requests(), asked);
    }
};

QTEST_GUILESS_MAIN(TestHealthMonitor)
#include "tst_healthmonitor.moc"
