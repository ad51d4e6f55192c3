// SPDX-License-Identifier: MIT
#include "instances/RegistryEncoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <algorithm>

// Reused record texts must never outlive a change of their record.
class TestRegistryEncoder : public QObject
{
    Q_OBJECT

private:
    static QByteArray fresh(const QList<HalvexInstance> &instances) { return RegistryEncoder().encode(instances); }
    static QList<HalvexInstance> sample()
    {
        QList<HalvexInstance> instances;
        for (int i = 0; i < 4; ++i)
            instances.append(HalvexInstance::create(QStringLiteral("db%1").arg(i), QStringLiteral("t"), 8000 + i));
        return instances;
    }
    // The records as the JSON parser reads them; nothing when it refuses the text.
    static std::optional<QList<HalvexInstance>> parsed(const QByteArray &file)
    {
        const QJsonDocument document = QJsonDocument::fromJson(file);
        if (!document.isArray())
            return std::nullopt;
        QList<HalvexInstance> records;
        for (const QJsonValue &value : document.array()) {
            const auto record = HalvexInstance::fromJson(value.toObject());
            if (!record)
                return std::nullopt;
            records.append(*record);
        }
        return records;
    }

private slots:
    void reuse_followsEveryChange_data()
    {
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<int>("change");
        for (const bool loaded : {false, true}) {
            const char *start = loaded ? "loaded" : "encoded";
            QTest::addRow("%s, rename", start) << loaded << 0;
            QTest::addRow("%s, run state", start) << loaded << 1;
            QTest::addRow("%s, remove", start) << loaded << 2;
            QTest::addRow("%s, reorder", start) << loaded << 3;
            QTest::addRow("%s, same id, new record", start) << loaded << 4;
            QTest::addRow("%s, add", start) << loaded << 5;
            QTest::addRow("%s, new token", start) << loaded << 6;
            QTest::addRow("%s, new date", start) << loaded << 7;
        }
    }
    void reuse_followsEveryChange()
    {
        QFETCH(bool, loaded);
        QFETCH(int, change);
        QList<HalvexInstance> instances = sample();
        RegistryEncoder encoder;
        if (loaded) {
            // As at a start: the list read, shared with the encoder while it learns on its thread.
            const QByteArray file = fresh(instances);
            const auto read = RegistryEncoder::decode(file);
            QVERIFY(read);
            instances = read->records;
            encoder.learnDecoded(FileContents(file), read->records, read->spans);
            encoder.learnInBackground();
        } else {
            QCOMPARE(encoder.encode(instances), fresh(instances));
        }
        switch (change) {
        case 0:
            instances[1].name = QStringLiteral("renamed");
            break;
        case 1:
            instances[2].isRunning = true;
            break;
        case 2:
            instances.removeAt(0);
            break;
        case 3:
            std::swap(instances[0], instances[3]);
            break;
        case 4: {
            const QUuid id = instances[1].id;
            instances[1] = HalvexInstance::create(QStringLiteral("other"), QStringLiteral("u"), 9000);
            instances[1].id = id;
            break;
        }
        case 5:
            instances.insert(1, HalvexInstance::create(QStringLiteral("new"), QStringLiteral("n"), 9001));
            instances.append(HalvexInstance::create(QStringLiteral("last"), QStringLiteral("l"), 9002));
            break;
        case 6:
            instances[2].authToken = QStringLiteral("u");
            break;
        case 7:
            instances[2].updatedAt += 1;
            break;
        }
        QCOMPARE(encoder.encode(instances), fresh(instances));
        // Later saves take the text of each record where the last one left it.
        instances.last().port += 1;
        QCOMPARE(encoder.encode(instances), fresh(instances));
        std::reverse(instances.begin(), instances.end());
        QCOMPARE(encoder.encode(instances), fresh(instances));
        QCOMPARE(encoder.encode({}), QByteArray("[]"));
    }

    // Whatever the fast reader takes, it must read exactly as the JSON parser does; what it leaves
    // is read by the parser and learnt, and a file written by hand or by an older run, which holds
    // the same records in other text, must not pass that text on to the next save.
    void read_takesOnlyWhatReadsTheSame_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("taken");
        QList<HalvexInstance> records = sample();
        records[1].isRunning = true;
        records[2].createdAt = 1e-7;
        const QByteArray encoded = fresh(records);
        const auto edited = [&encoded](const char *from, const char *to) {
            QByteArray file = encoded;
            return file.replace(from, to);
        };
        QTest::newRow("as encoded") << encoded << true;
        QTest::newRow("no records") << QByteArray("[]") << true;
        QTest::newRow("escaped name") << edited("\"name\":\"db0\"", "\"name\":\"d\\u0062\"") << false;
        QTest::newRow("white space") << edited("},{", "}, {") << false;
        QTest::newRow("stored running, extra key")
            << edited("\"isRunning\":false", "\"isRunning\":true,\"note\":\"{[\"") << false;
        QTest::newRow("longer date") << edited(",\"createdAt\":", ",\"createdAt\":0") << false;
        QTest::newRow("date not a number") << edited(",\"createdAt\":1e-07", ",\"createdAt\":inf") << false;
        QTest::newRow("date out of range") << edited(",\"createdAt\":1e-07", ",\"createdAt\":1e+300") << false;
        QTest::newRow("port with a fraction") << edited(",\"port\":8000", ",\"port\":8000.5") << false;
        const QByteArray id = records.first().id.toByteArray(QUuid::WithoutBraces).toUpper();
        QTest::newRow("lower-case id") << edited(id.constData(), id.toLower().constData()) << false;
        QTest::newRow("text after the array") << encoded + "]" << false;
        QTest::newRow("cut short") << encoded.chopped(2) << false;
    }
    void read_takesOnlyWhatReadsTheSame()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, taken);
        RegistryEncoder encoder;
        const auto read = RegistryEncoder::decode(file);
        QCOMPARE(read.has_value(), taken);
        const auto fromParser = parsed(file);
        if (!fromParser)
            return;
        QList<HalvexInstance> records = *fromParser;
        if (read) {
            QCOMPARE(read->records, records);
            // Learnt by the first save, as when no window has come up yet.
            encoder.learnDecoded(FileContents(file), read->records, read->spans);
        } else {
            encoder.learn(file, records);
        }
        // Learnt: what is written next holds no stale text, whether a record changed or not.
        QCOMPARE(encoder.encode(records), fresh(records));
        for (HalvexInstance &record : records)
            record.isRunning = false;
        QCOMPARE(encoder.encode(records), fresh(records));
    }
};

QTEST_GUILESS_MAIN(TestRegistryEncoder)
#include "tst_registryencoder.moc"
