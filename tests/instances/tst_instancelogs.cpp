// SPDX-License-Identifier: MIT
#include "instances/InstanceLogs.h"
#include "instances/LogEntrySplitter.h"
#include "instances/LogTimeStamp.h"

#include "TestSupport.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

// A server's output cut into entries (whole lines, UTF-8 decoded across chunks, within a bound),
// and the entries of the log, stamped with the time of day.
class TestInstanceLogs : public QObject
{
    Q_OBJECT

private:
    static constexpr qsizetype bound = LogEntrySplitter::maximumEntry;

    // "<flush>" stands for the reader giving up waiting for the rest of a line.
    static QStringList run(const QByteArrayList &chunks)
    {
        LogEntrySplitter splitter;
        QStringList entries;
        for (const QByteArray &chunk : chunks) {
            if (chunk != "<flush>")
                entries += splitter.feed(chunk);
            else if (const auto entry = splitter.flush())
                entries.append(*entry);
        }
        return entries;
    }

private slots:
    // The stamps follow the default locale; the machine's may write its digits otherwise.
    // A zone half an hour off UTC, so that a stamp in UTC is told from the local time of day.
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qputenv("TZ", "Asia/Kolkata");
    }

    // Each message is one entry as given, line breaks and all, after one stamp; the oldest go
    // first once the log is full.
    void entries_stampedKeptAsGivenAndCapped()
    {
        InstanceLogs logs;
        const QUuid id = QUuid::createUuid();
        const QStringList given{u"hello"_s, QString(), u"two\nlines"_s};
        for (const QString &message : given)
            logs.add(id, message);
        QCOMPARE(TestSupport::logMessages(logs.entries(id)), given);
        const QString first = logs.entries(id).first();
        QVERIFY2(QRegularExpression(u"^\\[\\d{1,2}:\\d{2}:\\d{2}[ \\x{202f}][AP]M\\] hello$"_s).match(first).hasMatch(),
                 qPrintable(first));

        for (qsizetype i = given.size(); i < InstanceLogs::capacity; ++i)
            QCOMPARE(logs.add(id, QString::number(i)).dropped, 0);
        const InstanceLogs::Appended appended = logs.add(id, u"new"_s);
        QCOMPARE(appended.dropped, 1);
        const QStringList entries = logs.entries(id);
        QCOMPARE(entries.size(), InstanceLogs::capacity);
        QVERIFY(entries.first().endsWith(u"] "_s)); // "hello" went first
        QCOMPARE(entries.last(), appended.entry);
    }

    // A stamp is the local time of day of its entry, also once the second has turned over.
    void stamp_followsTheClock()
    {
        InstanceLogs logs;
        const QUuid id = QUuid::createUuid();
        const QString format = mediumTimeFormat(QLocale());
        for (int turn = 0; turn < 2; ++turn) {
            const QTime before = QTime::currentTime();
            const QString entry = logs.add(id, u"now"_s).entry;
            const QTime after = QTime::currentTime();
            const QString stamp = entry.mid(1, entry.indexOf(u"] "_s) - 1);
            QVERIFY2(stamp == QLocale().toString(before, format) || stamp == QLocale().toString(after, format),
                     qPrintable(stamp + u" at "_s + after.toString()));
            QTRY_VERIFY(QTime::currentTime().second() != after.second());
        }
    }

    // In every locale, the stamp tells hours, minutes, seconds and the halves of the day apart, and
    // names no zone.
    void mediumTime_everyLocale()
    {
        const QTime time(14, 3, 27);
        for (const QLocale &locale :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString format = mediumTimeFormat(locale), shown = locale.toString(time, format);
            const QString where = locale.name() + u' ' + format + u" → "_s + shown;
            for (const QTime other : {time.addSecs(3600), time.addSecs(60), time.addSecs(1), time.addSecs(-12 * 3600)})
                QVERIFY2(locale.toString(other, format) != shown, qPrintable(where));
            QVERIFY2(!QString(format).remove(QRegularExpression(u"'[^']*'"_s)).contains(u't'), qPrintable(where));
            QVERIFY2(shown == shown.trimmed() && !shown.contains(QRegularExpression(u"[()\\[\\]]"_s)),
                     qPrintable(where));
        }
    }

    void output_chunksBecomeEntries_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("several lines stay one trimmed entry")
            << QByteArrayList{"  hello\nworld\n"} << QStringList{u"hello\nworld"_s};
        QTest::newRow("a line waits for its end")
            << QByteArrayList{"hel", "lo\nwor", "ld\n"} << QStringList{u"hello"_s, u"world"_s};
        QTest::newRow("white space only") << QByteArrayList{"  \n"} << QStringList{QString()};
        QTest::newRow("flush gives the held line")
            << QByteArrayList{"prompt> ", "<flush>", "answer\n", "<flush>"} << QStringList{u"prompt>"_s, u"answer"_s};
        QTest::newRow("line end after a flush is no entry")
            << QByteArrayList{"Starting", "<flush>", "\n", "next\n"} << QStringList{u"Starting"_s, u"next"_s};
        QTest::newRow("two-byte character split")
            << QByteArrayList{"caf\xC3", "\xA9 done\n"} << QStringList{u"café done"_s};
        QTest::newRow("three-byte character split twice")
            << QByteArrayList{"\xE2", "\x82", "\xAC\n"} << QStringList{u"€"_s};
        QTest::newRow("invalid chunk dropped, the next kept")
            << QByteArrayList{"ok\n", "\xFF\xFE\n", "next\n"} << QStringList{u"ok"_s, u"next"_s};
        QTest::newRow("broken carry dropped with its chunk")
            << QByteArrayList{"a\xC3", "b\n", "c\n"} << QStringList{u"ac"_s};
    }
    void output_chunksBecomeEntries()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, entries);
        QCOMPARE(run(chunks), entries);
    }

    void output_longCutAtLineEndsWithinTheBound_data()
    {
        // The output is fed in chunks of chunkSize bytes, as a reader takes it.
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<qsizetype>("chunkSize");
        QTest::addColumn<QList<qsizetype>>("sizes");
        QTest::newRow("one long line, cut only at the bound")
            << QByteArray(200000, 'x') + '\n'
            << qsizetype(12 * 1024) << QList<qsizetype>{bound, bound, bound, 200000 - 3 * bound};
        QTest::newRow("line ending at the bound") << QByteArray(bound, 'x') + "\nnext\n"
                                                  << bound + 1 << QList<qsizetype>{bound, 4};
        QByteArray lines;
        for (int i = 0; lines.size() < 3 * bound; ++i)
            lines += "request " + QByteArray::number(i) + " handled\n";
        // Each entry is as many whole lines as fit within the bound.
        QList<qsizetype> sizes;
        for (qsizetype start = 0; start < lines.size();) {
            const qsizetype end = std::min(lines.lastIndexOf('\n', start + bound - 1), lines.size() - 1);
            sizes.append(end - start);
            start = end + 1;
        }
        QTest::newRow("many lines in one chunk") << lines << lines.size() << sizes;
        QTest::newRow("emoji across the bound") << QByteArray(bound - 1, 'x') + "\xF0\x9F\x98\x80\n"
                                                << bound + 4 << QList<qsizetype>{bound - 1, 2};
    }
    void output_longCutAtLineEndsWithinTheBound()
    {
        QFETCH(QByteArray, output);
        QFETCH(qsizetype, chunkSize);
        QFETCH(QList<qsizetype>, sizes);
        QByteArrayList chunks;
        for (qsizetype at = 0; at < output.size(); at += chunkSize)
            chunks.append(output.mid(at, chunkSize));
        const QStringList entries = run(chunks);
        QList<qsizetype> actual;
        for (const QString &entry : entries)
            actual.append(entry.size());
        QCOMPARE(actual, sizes);
        // Nothing lost or doubled: the entries are the output less the line ends they were cut at.
        QCOMPARE(entries.join(QString()).remove(u'\n'), QString::fromUtf8(output).remove(u'\n'));
    }
};

QTEST_GUILESS_MAIN(TestInstanceLogs)
#include "tst_instancelogs.moc"
