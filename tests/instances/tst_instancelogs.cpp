// SPDX-License-Identifier: MIT
#include "instances/InstanceLogs.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

class TestInstanceLogs : public QObject
{
    Q_OBJECT

private slots:
    // The stamps follow the default locale; the machine's may write its digits otherwise.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Each message is one entry as given, line breaks and all, after one stamp; the oldest go
    // first once the log is full.
    void entries_stampedKeptAsGivenAndCapped()
    {
        InstanceLogs logs;
        const QUuid id = QUuid::createUuid();
        const QStringList given{u"hello"_s, QString(), u"two\nlines"_s};
        for (const QString &message : given)
            logs.add(id, message);
        const QRegularExpression stamped(u"^\\[\\d{1,2}:\\d{2}:\\d{2}[ \\x{202f}][AP]M\\] (.*)$"_s,
                                         QRegularExpression::DotMatchesEverythingOption);
        QStringList messages;
        for (const QString &entry : logs.entries(id)) {
            const QRegularExpressionMatch match = stamped.match(entry);
            messages.append(match.hasMatch() ? match.captured(1) : u"unstamped: "_s + entry);
        }
        QCOMPARE(messages, given);

        for (qsizetype i = given.size(); i < InstanceLogs::capacity; ++i)
            QCOMPARE(logs.add(id, QString::number(i)).dropped, 0);
        const InstanceLogs::Appended appended = logs.add(id, u"new"_s);
        QCOMPARE(appended.dropped, 1);
        const QStringList entries = logs.entries(id);
        QCOMPARE(entries.size(), InstanceLogs::capacity);
        QVERIFY(entries.first().endsWith(u"] "_s)); // "hello" went first
        QCOMPARE(entries.last(), appended.entry);
    }

    // The medium style: the short one with seconds, in the separator, hours and half of the day
    // that the locale uses.
    void mediumTime_ofTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("12-hour") << u"en_US"_s << u"2:03:27\u202fPM"_s;
        QTest::newRow("dots") << u"fi_FI"_s << u"14.03.27"_s;
        QTest::newRow("words between fields") << u"fr_CA"_s << u"14\u202fh\u202f03\u202fmin\u202f27\u202fs"_s;
        QTest::newRow("day period") << u"zh_TW"_s << u"下午2:03:27"_s;
    }
    void mediumTime_ofTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        const QLocale l(locale);
        QCOMPARE(l.toString(QTime(14, 3, 27), mediumTimeFormat(l)).replace(u' ', u'\u202f'), expected);
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
            letters.remove(QRegularExpression(u"'[^']*'"_s));
            const bool zoneless = !letters.contains(u't') && !rendered.contains(QRegularExpression(u"[()\\[\\]]"_s));
            if (!complete || !zoneless || rendered != rendered.trimmed())
                wrong.append(locale.name() + u' ' + format + u" → "_s + rendered);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u"; "_s)));
    }
};

QTEST_GUILESS_MAIN(TestInstanceLogs)
#include "tst_instancelogs.moc"
