// SPDX-License-Identifier: MIT
#include "instances/InstanceLogs.h"

#include <QRegularExpression>
#include <QTest>

class TestInstanceLogs : public QObject
{
    Q_OBJECT

private slots:
    void entry_isStampedWithTimeOfDay()
    {
        InstanceLogs logs;
        const QUuid id = QUuid::createUuid();
        logs.add(id, QStringLiteral("hello"));
        const QStringList entries = logs.entries(id);
        QCOMPARE(entries.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^\[\d{1,2}:\d{2}:\d{2}( ?[AaPp]\.? ?[Mm]\.?)?\] hello$)"))
                     .match(entries.first())
                     .hasMatch(),
                 qPrintable(entries.first()));
    }

    void mediumTime_hasSecondsButNoZone_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("24-hour") << "de_DE"
                                 << "14:03:27";
        QTest::newRow("12-hour") << "en_US"
                                 << "2:03:27\u202fPM";
        QTest::newRow("british") << "en_GB"
                                 << "14:03:27";
    }
    void mediumTime_hasSecondsButNoZone()
    {
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        const QLocale l(locale);
        QString rendered = l.toString(QTime(14, 3, 27), mediumTimeFormat(l));
        rendered.replace(u' ', u'\u202f'); // CLDR versions differ in the space before AM/PM
        QCOMPARE(rendered, expected);
    }

    void messages_keptAsGiven_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("empty") << ""
                               << "] ";
        QTest::newRow("multi-line") << "hello\nworld"
                                    << "] hello\nworld";
    }
    void messages_keptAsGiven()
    {
        QFETCH(QString, message);
        QFETCH(QString, suffix);
        InstanceLogs logs;
        const QUuid id = QUuid::createUuid();
        logs.add(id, message);
        QVERIFY(logs.entries(id).first().endsWith(suffix));
        QCOMPARE(logs.entries(id).first().count(u'['), 1);
    }

    void cap_dropsOldest()
    {
        InstanceLogs logs;
        const QUuid id = QUuid::createUuid();
        for (int i = 0; i < 1000; ++i)
            logs.add(id, QString::number(i));
        QCOMPARE(logs.entries(id).size(), 1000);
        logs.add(id, QStringLiteral("new"));
        const QStringList entries = logs.entries(id);
        QCOMPARE(entries.size(), 1000);
        QVERIFY(entries.first().endsWith(QStringLiteral("] 1")));
        QVERIFY(entries.last().endsWith(QStringLiteral("] new")));
    }

    void clear_keepsEmptyEntryEvenForUnknownId()
    {
        InstanceLogs logs;
        const QUuid known = QUuid::createUuid();
        const QUuid unknown = QUuid::createUuid();
        logs.add(known, QStringLiteral("a"));
        logs.clear(known);
        logs.clear(unknown);
        QVERIFY(logs.all().contains(known));
        QVERIFY(logs.all().contains(unknown));
        QVERIFY(logs.entries(unknown).isEmpty());
        logs.add(known, QStringLiteral("b"));
        QCOMPARE(logs.entries(known).size(), 1);
        QVERIFY(logs.entries(known).first().endsWith(QStringLiteral("] b")));
    }
};

QTEST_GUILESS_MAIN(TestInstanceLogs)
#include "tst_instancelogs.moc"
