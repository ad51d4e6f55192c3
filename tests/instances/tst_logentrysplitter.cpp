// SPDX-License-Identifier: MIT
#include "instances/LogEntrySplitter.h"

#include <QTest>

class TestLogEntrySplitter : public QObject
{
    Q_OBJECT

private:
    static constexpr qsizetype bound = LogEntrySplitter::maximumEntry;

    static QStringList run(const QByteArrayList &chunks)
    {
        LogEntrySplitter splitter;
        QStringList entries;
        for (const QByteArray &chunk : chunks) {
            if (chunk == "<flush>") {
                if (const auto entry = splitter.flush())
                    entries.append(*entry);
            } else {
                entries += splitter.feed(chunk);
            }
        }
        return entries;
    }
    // Output written in pieces of the size a reader takes at a time.
    static QByteArrayList pieces(const QByteArray &output, qsizetype size)
    {
        QByteArrayList chunks;
        for (qsizetype at = 0; at < output.size(); at += size)
            chunks.append(output.mid(at, size));
        return chunks;
    }

private slots:
    void chunks_data()
    {
        // "<flush>" stands for the reader giving up waiting for the rest of a line.
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("several lines stay one trimmed entry")
            << QByteArrayList{"  hello\nworld\n"} << QStringList{QStringLiteral("hello\nworld")};
        QTest::newRow("a line waits for its end") << QByteArrayList{"hel", "lo\nwor", "ld\n"}
                                                  << QStringList{QStringLiteral("hello"), QStringLiteral("world")};
        QTest::newRow("white space only") << QByteArrayList{"  \n"} << QStringList{QString()};
        QTest::newRow("character split across chunks")
            << QByteArrayList{"caf\xC3", "\xA9 done\n"} << QStringList{QStringLiteral("café done")};
        QTest::newRow("invalid chunk dropped") << QByteArrayList{"ok\n", "\xFF\xFE\n", "next\n"}
                                               << QStringList{QStringLiteral("ok"), QStringLiteral("next")};
        QTest::newRow("flush gives the held line") << QByteArrayList{"prompt> ", "<flush>", "answer\n"}
                                                   << QStringList{QStringLiteral("prompt>"), QStringLiteral("answer")};
        QTest::newRow("line end after a flush is no entry")
            << QByteArrayList{"Starting", "<flush>", "\n", "next\n"}
            << QStringList{QStringLiteral("Starting"), QStringLiteral("next")};
        QTest::newRow("nothing held, nothing flushed") << QByteArrayList{"a\n", "<flush>"} << QStringList{"a"};
    }
    void chunks()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, entries);
        QCOMPARE(run(chunks), entries);
    }

    void longOutput_cutAtLineEndsWithinTheBound_data()
    {
        // The output is fed in chunks of chunkSize bytes, as a reader takes it (0: all at once).
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<qsizetype>("chunkSize");
        QTest::addColumn<QList<qsizetype>>("sizes");
        const qsizetype read = 12 * 1024;
        QTest::newRow("one long line, cut only at the bound")
            << QByteArray(200000, 'x') + '\n'
            << read << QList<qsizetype>{bound, bound, bound, 200000 - 3 * bound};
        QTest::newRow("line ending at the bound") << QByteArray(bound, 'x') + "\nnext\n"
                                                  << bound + 1 << QList<qsizetype>{bound, 4};
        QByteArray lines;
        for (int i = 0; lines.size() < 3 * bound; ++i)
            lines += "request " + QByteArray::number(i) + " handled\n";
        QList<qsizetype> sizes;
        for (qsizetype start = 0; start < lines.size();) {
            const qsizetype end = std::min(lines.lastIndexOf('\n', start + bound - 1), lines.size() - 1);
            sizes.append(end - start);
            start = end + 1;
        }
        QTest::newRow("many lines in one chunk") << lines << qsizetype(0) << sizes;
        QTest::newRow("emoji across the bound") << QByteArray(bound - 1, 'x') + "\xF0\x9F\x98\x80\n"
                                                << qsizetype(0) << QList<qsizetype>{bound - 1, 2};
    }
    void longOutput_cutAtLineEndsWithinTheBound()
    {
        QFETCH(QByteArray, output);
        QFETCH(qsizetype, chunkSize);
        QFETCH(QList<qsizetype>, sizes);
        const QStringList entries = run(pieces(output, chunkSize > 0 ? chunkSize : output.size()));
        QList<qsizetype> actual;
        for (const QString &entry : entries)
            actual.append(entry.size());
        QCOMPARE(actual, sizes);
        // Nothing lost or doubled: the entries are the output less the line ends they were cut at.
        QCOMPARE(entries.join(QString()).remove(u'\n'), QString::fromUtf8(output).remove(u'\n'));
    }
};

QTEST_GUILESS_MAIN(TestLogEntrySplitter)
#include "tst_logentrysplitter.moc"
