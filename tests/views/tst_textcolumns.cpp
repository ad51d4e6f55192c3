// SPDX-License-Identifier: MIT
#include "views/TextColumns.h"

#include <QTest>

// Text laid out in cells as the log wraps it: rows break between graphemes only, wide characters
// take two cells, tabs reach the next stop.
class TestTextColumns : public QObject
{
    Q_OBJECT

private slots:
    void rows_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("plain") << "abcdefg" << 3 << QStringList{"abc", "def", "g"};
        QTest::newRow("joined emoji stays whole")
            << "ab👨‍👩‍👧" << 3 << QStringList{"ab", "👨‍👩‍👧"};
        QTest::newRow("accent stays with its letter") << "abce\u0301f" << 4 << QStringList{"abce\u0301", "f"};
        QTest::newRow("emoji style takes two cells") << "⚠️ok" << 3 << QStringList{"⚠️o", "k"};
        QTest::newRow("wide characters take two cells") << "日本語のログ" << 4 << QStringList{"日本", "語の", "ログ"};
        QTest::newRow("wide character wider than a row") << "日本" << 1 << QStringList{"日", "本"};
        QTest::newRow("tab-separated fields wrap")
            << "id\tname\tstatus\tport" << 16 << QStringList{"id      name    ", "status  port"};
        QTest::newRow("tab at the end of a row") << "abcdef\tg" << 8 << QStringList{"abcdef  ", "g"};
        QTest::newRow("control characters take no cell") << "ab\rc" << 3 << QStringList{"abc"};
    }
    void rows()
    {
        QFETCH(QString, line);
        QFETCH(int, columns);
        QFETCH(QStringList, rows);
        const TextColumns layout(columns);
        QCOMPARE(layout.rows(line), rows);
        QCOMPARE(layout.lineRowCount(line), rows.size());
        QCOMPARE(layout.rowCount(QString(line + u'\n' + line)), 2 * rows.size());
    }
};

QTEST_GUILESS_MAIN(TestTextColumns)
#include "tst_textcolumns.moc"
