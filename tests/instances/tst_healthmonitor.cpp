// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include "instances/HealthMonitor.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using Answer = HealthMonitor::Answer;

// What the monitor makes of the ways a server answers its /health, through the network module.
class TestHealthMonitor : public QObject
{
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<QByteArray>("response"); // empty: accepts, never answers
        QTest::addColumn<bool>("listening");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<int>("status");
        QTest::newRow("ok") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok") << true << Answer::Ok
                            << 200;
        QTest::newRow("another status") << QByteArray("HTTP/1.1 503 Busy\r\nContent-Length: 0\r\n\r\n") << true
                                        << Answer::Status << 503;
        QTest::newRow("nobody listens") << QByteArray() << false << Answer::NoAnswer << 0;
        QTest::newRow("no answer in time") << QByteArray() << true << Answer::NoAnswer << 0;
    }
    void reading()
    {
        QFETCH(QByteArray, response);
        QFETCH(bool, listening);
        QFETCH(Answer, answer);
        QFETCH(int, status);
        QTcpServer server;
        const quint16 port = listening ? (server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0)
                                       : TestSupport::freePort();
        QVERIFY(port != 0);
        connect(&server, &QTcpServer::newConnection, this, [&server, response] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, response] {
                if (socket->readAll().contains("\r\n\r\n") && !response.isEmpty())
                    socket->write(response);
            });
        });

        HealthMonitor monitor;
        monitor.watch(QCoreApplication::applicationPid(), port);
        // The memory is read at once; the answer follows.
        QVERIFY(monitor.reading().residentBytes.value_or(0) > 0);
        QTRY_VERIFY_WITH_TIMEOUT(monitor.reading().answer != Answer::Waiting, 10000);
        QCOMPARE(monitor.reading().answer, answer);
        QCOMPARE(monitor.reading().status, status);
    }

    // A question still open when the watch ends gives no answer afterwards.
    void stop_dropsTheOpenQuestion()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        HealthMonitor monitor;
        monitor.watch(QCoreApplication::applicationPid(), silent.serverPort());
        QVERIFY(silent.waitForNewConnection(5000));
        monitor.stop();
        QSignalSpy updated(&monitor, &HealthMonitor::updated);
        QVERIFY(!updated.wait(HealthMonitor::answerTimeout.count() + 500));
        QCOMPARE(monitor.reading().answer, Answer::Waiting);
    }
};

QTEST_GUILESS_MAIN(TestHealthMonitor)
#include "tst_healthmonitor.moc"
