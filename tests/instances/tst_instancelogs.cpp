// SPDX-License-Identifier: MIT
#include "instances/InstanceLogs.h"

#include <QRegularExpression>
#include <QTest>

class TestInstanceLogs : public QObject
{
    Q_OBJECT

private slots:
    // The stamps follow the default locale; the machine's may write its digits otherwise.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

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
        QTest::newRow("zone in brackets") << "es_ES"
                                          << "14:03:27";
        QTest::newRow("dots") << "fi_FI"
                              << "14.03.27";
        QTest::newRow("japanese") << "ja_JP"
                                  << "14:03:27";
        QTest::newRow("korean") << "ko_KR"
                                << "오후\u202f2:03:27";
        QTest::newRow("words between fields") << "fr_CA"
                                              << "14\u202fh\u202f03\u202fmin\u202f27\u202fs";
        QTest::newRow("day period") << "zh_TW"
                                    << "下午2:03:27";
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

    void mediumTime_everyLocaleTellsSecondsApartWithoutZone()
    {
        const QTime time(14, 3, 27);
        QStringList wrong;
        for (const QLocale &locale :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString format = mediumTimeFormat(locale);
            const QString rendered = locale.toString(time, format);
            // Another hour, minute, second or half of the day must read differently.
            bool complete = true;
            for (const QTime other : {time.addSecs(3600), time.addSecs(60), time.addSecs(1), time.addSecs(-12 * 3600)})
                complete = complete && locale.toString(other, format) != rendered;
            QString letters = format;
            letters.remove(QRegularExpression(QStringLiteral("'[^']*'")));
            const bool zoneless =
                !letters.contains(u't') && !rendered.contains(QRegularExpression(QStringLiteral(R"([()\[\]])")));
            if (!complete || !zoneless || rendered != rendered.trimmed())
                wrong.append(locale.name() + u' ' + format + QStringLiteral(" → ") + rendered);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
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
            QCOMPARE(logs.add(id, QString::number(i)).dropped, 0);
        QCOMPARE(logs.entries(id).size(), 1000);
        const InstanceLogs::Appended appended = logs.add(id, QStringLiteral("new"));
        QCOMPARE(appended.dropped, 1);
        QCOMPARE(appended.entry, logs.entries(id).constLast());
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
