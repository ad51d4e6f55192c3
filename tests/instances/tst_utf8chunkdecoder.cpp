// SPDX-License-Identifier: MIT
#include "instances/Utf8ChunkDecoder.h"

#include <QTest>

class TestUtf8ChunkDecoder : public QObject
{
    Q_OBJECT

private slots:
    void chunks_data()
    {
        // Chunks separated by '|'; the expected texts in order, "-" for a chunk that gives none.
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("plain") << QByteArrayList{"hello\n"} << QStringList{QStringLiteral("hello\n")};
        QTest::newRow("two-byte split") << QByteArrayList{"caf\xC3", "\xA9!"}
                                        << QStringList{QStringLiteral("caf"), QStringLiteral("é!")};
        QTest::newRow("three-byte split twice")
            << QByteArrayList{"\xE2", "\x82", "\xAC"}
            << QStringList{QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("€")};
        QTest::newRow("four-byte split") << QByteArrayList{"a\xF0\x9F", "\x98\x80"}
                                         << QStringList{QStringLiteral("a"), QStringLiteral("😀")};
        QTest::newRow("invalid dropped, next kept")
            << QByteArrayList{"\xFF\xFE", "ok"} << QStringList{QStringLiteral("-"), QStringLiteral("ok")};
        QTest::newRow("stray continuation dropped")
            << QByteArrayList{"\xA9x", "y"} << QStringList{QStringLiteral("-"), QStringLiteral("y")};
        QTest::newRow("broken carry dropped with its chunk")
            << QByteArrayList{"a\xC3", "b", "c"}
            << QStringList{QStringLiteral("a"), QStringLiteral("-"), QStringLiteral("c")};
        QTest::newRow("white space only") << QByteArrayList{"  \n"} << QStringList{QStringLiteral("  \n")};
    }
    void chunks()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, texts);
        Utf8ChunkDecoder decoder;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            const auto text = decoder.decode(chunks.at(i));
            QCOMPARE(text.value_or(QStringLiteral("-")), texts.at(i));
        }
    }
};

QTEST_GUILESS_MAIN(TestUtf8ChunkDecoder)
#include "tst_utf8chunkdecoder.moc"
