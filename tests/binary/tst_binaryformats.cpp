// SPDX-License-Identifier: MIT
#include "binary/ExecutableFormat.h"
#include "binary/PayloadFormat.h"

#include <QTest>

class TestBinaryFormats : public QObject
{
    Q_OBJECT

private slots:
    void recognise_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("elf");
        QTest::addColumn<bool>("machO");
        QTest::addColumn<PayloadFormat>("payload");
        const auto row = [](const char *name, const char *hex, bool elf, bool machO, PayloadFormat payload) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << elf << machO << payload;
        };
        row("ELF", "7f454c4602010100", true, false, PayloadFormat::Bare);
        row("ELF magic alone", "7f454c46", true, false, PayloadFormat::Bare);
        row("truncated ELF magic", "7f454c", false, false, PayloadFormat::Bare);
        row("64-bit Mach-O", "cffaedfe07", false, true, PayloadFormat::Bare);
        row("64-bit Mach-O magic alone", "cffaedfe", false, false, PayloadFormat::Bare);
        row("32-bit Mach-O magic alone", "cefaedfe", false, true, PayloadFormat::Bare);
        row("universal file", "cafebabe00000002", false, false, PayloadFormat::Bare);
        row("big-endian Mach-O", "feedfacf07", false, false, PayloadFormat::Bare);
        row("script", "23212f62696e2f73680a", false, false, PayloadFormat::Bare);
        row("empty", "", false, false, PayloadFormat::Bare);
        row("zip entry", "504b030414", false, false, PayloadFormat::Zip);
        row("empty zip", "504b050600", false, false, PayloadFormat::Zip);
        row("spanned zip", "504b070800", false, false, PayloadFormat::Zip);
        row("zip, byte 3 not looked at", "504b03ff00", false, false, PayloadFormat::Zip);
        row("zip too short", "504b0304", false, false, PayloadFormat::Bare);
        row("PK then another byte", "504b010200", false, false, PayloadFormat::Bare);
        row("gzip", "1f8b08", false, false, PayloadFormat::Gzip);
        row("gzip too short", "1f8b", false, false, PayloadFormat::Bare);
    }
    void recognise()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, elf);
        QFETCH(bool, machO);
        QFETCH(PayloadFormat, payload);
        QCOMPARE(ExecutableFormat::isElf(head), elf);
        QCOMPARE(ExecutableFormat::isMachO(head), machO);
        QCOMPARE(ExecutableFormat::isNative(head), elf);
        QCOMPARE(detectPayloadFormat(head), payload);
    }
};

QTEST_GUILESS_MAIN(TestBinaryFormats)
#include "tst_binaryformats.moc"
