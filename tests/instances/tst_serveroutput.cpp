// SPDX-License-Identifier: MIT
#include "instances/ServerOutput.h"

#include <QTest>

// What waits for a busy window is bounded in entries and in characters, and is always the newest.
class TestServerOutput : public QObject
{
    Q_OBJECT

private slots:
    void keepNewest_boundsWhatWaits_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("kept");
        const int chunk = 12 * 1024;
        QTest::newRow("nothing") << 0 << 1 << 0;
        QTest::newRow("few and short") << 10 << 40 << 10;
        QTest::newRow("many short lines") << 1500 << 40 << int(ServerOutput::maximumWaiting);
        QTest::newRow("a flood's long entries") << 400 << chunk << int(ServerOutput::maximumWaitingCharacters / chunk);
        QTest::newRow("exactly the bound") << 2 << int(ServerOutput::maximumWaitingCharacters / 2) << 2;
        QTest::newRow("one entry beyond the bound") << 3 << int(ServerOutput::maximumWaitingCharacters + 1) << 1;
    }
    void keepNewest_boundsWhatWaits()
    {
        QFETCH(int, count);
        QFETCH(int, length);
        QFETCH(int, kept);
        QStringList entries;
        for (int i = 0; i < count; ++i)
            entries.append(QString::number(i).leftJustified(length, u'.'));
        ServerOutput::keepNewest(entries);
        QCOMPARE(entries.size(), kept);
        for (int i = 0; i < kept; ++i)
            QVERIFY(entries.at(i).startsWith(QString::number(count - kept + i) + u'.'));
    }
};

QTEST_GUILESS_MAIN(TestServerOutput)
#include "tst_serveroutput.moc"
