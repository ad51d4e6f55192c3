// SPDX-License-Identifier: MIT
#include "instances/HealthMonitor.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <unistd.h>

// The monitor against a stand-in for a server's HTTP side, which answers every request with one
// status, or closes the connection without an answer (status 0). This process stands in for the
// server's.
class TestHealthMonitor : public QObject
{
    Q_OBJECT

private slots:
    void reading_followsTheServersAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<HealthMonitor::Answer>("answer");
        QTest::newRow("OK") << 200 << HealthMonitor::Answer::Ok;
        QTest::newRow("unavailable") << 503 << HealthMonitor::Answer::Status;
        QTest::newRow("closed without an answer") << 0 << HealthMonitor::Answer::NoAnswer;
        QTest::newRow("nothing listening") << -1 << HealthMonitor::Answer::NoAnswer;
    }
    void reading_followsTheServersAnswers()
    {
        QFETCH(int, status);
        QFETCH(HealthMonitor::Answer, answer);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        int requests = 0;
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
                if (!socket->readAll().startsWith("GET /health HTTP/1.1\r\n"))
                    return;
                ++requests;
                if (status == 0)
                    socket->abort();
                else
                    socket->write("HTTP/1.1 " + QByteArray::number(status) + " S\r\nContent-Length: 0\r\n\r\n");
            });
        });
        const quint16 port = server.serverPort();
        if (status < 0)
            server.close();

        HealthMonitor monitor;
        monitor.setInterval(std::chrono::milliseconds(20));
        monitor.watch(::getpid(), port);
        QTRY_COMPARE(monitor.reading().answer, answer);
        QCOMPARE(monitor.reading().status, std::max(status, 0));
        QVERIFY(monitor.reading().residentBytes.value_or(0) > 0);
        if (status < 0)
            return;
        // Asked again and again while watched, and no more once stopped.
        QTRY_VERIFY(requests >= 3);
        monitor.stop();
        QVERIFY(!monitor.isWatching());
    }
};

QTEST_GUILESS_MAIN(TestHealthMonitor)
#include "tst_healthmonitor.moc"
