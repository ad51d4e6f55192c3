// SPDX-License-Identifier: MIT
#include "core/AuthToken.h"
#include "core/InstanceConflicts.h"
#include "platform/PortProbe.h"

#include <QSet>
#include <QTcpServer>
#include <QTest>

// What the form offers for a new instance: a port nothing uses yet, and a token.
class TestInstanceProposals : public QObject
{
    Q_OBJECT

private:
    // The first of three consecutive ports that are free now.
    static quint16 freeRun()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0) || probe.serverPort() > 65000)
                continue;
            const quint16 first = probe.serverPort();
            probe.close();
            if (PortProbe::isAvailable(first) && PortProbe::isAvailable(first + 1) && PortProbe::isAvailable(first + 2))
                return first;
        }
        return 0;
    }

private slots:
    void firstFreePort_skipsListenersAndInstances_data()
    {
        QTest::addColumn<bool>("listenerOnFirst");
        QTest::addColumn<bool>("instanceOnSecond");
        QTest::addColumn<int>("expected"); // offset from the first port
        QTest::newRow("all free") << false << false << 0;
        QTest::newRow("a listener") << true << false << 1;
        QTest::newRow("a listener, then an instance") << true << true << 2;
        QTest::newRow("an instance only") << false << true << 0;
    }
    void firstFreePort_skipsListenersAndInstances()
    {
        QFETCH(bool, listenerOnFirst);
        QFETCH(bool, instanceOnSecond);
        QFETCH(int, expected);
        const quint16 first = freeRun();
        QVERIFY(first != 0);
        QTcpServer listener;
        if (listenerOnFirst)
            QVERIFY(listener.listen(QHostAddress::LocalHost, first));
        QList<HalvexInstance> instances{HalvexInstance::create(QStringLiteral("far"), QStringLiteral("t"), 1)};
        if (instanceOnSecond)
            instances.append(HalvexInstance::create(QStringLiteral("next"), QStringLiteral("t"), first + 1));
        QCOMPARE(InstanceConflicts(instances).firstFreePort(first, PortProbe::isAvailable),
                 std::optional<quint16>(first + expected));
    }

    void firstFreePort_noneWhenAllAreTaken()
    {
        const QList<HalvexInstance> instances{
            HalvexInstance::create(QStringLiteral("last"), QStringLiteral("t"), 65535)};
        QCOMPARE(InstanceConflicts(instances).firstFreePort(65534, [](quint16 port) { return port != 65534; }),
                 std::nullopt);
    }

    void generatedTokens_useLettersAndDigitsOnly()
    {
        const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
        QSet<QChar> seen;
        QSet<QString> tokens;
        // 6400 draws: a symbol of the 62 that never came would be a chance of about e^-100.
        for (int i = 0; i < 200; ++i) {
            const QString token = AuthToken::generate();
            QCOMPARE(token.size(), 32);
            for (const QChar c : token) {
                QVERIFY2(alphabet.contains(c), qPrintable(token));
                seen.insert(c);
            }
            tokens.insert(token);
        }
        QCOMPARE(seen.size(), alphabet.size());
        QCOMPARE(tokens.size(), 200);
    }
};

QTEST_GUILESS_MAIN(TestInstanceProposals)
#include "tst_instanceproposals.moc"
