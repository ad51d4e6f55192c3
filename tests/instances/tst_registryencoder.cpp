// SPDX-License-Identifier: MIT
#include "instances/RegistryEncoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

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
        }
    }
    void reuse_followsEveryChange()
    {
        QFETCH(bool, loaded);
        QFETCH(int, change);
        QList<HalvexInstance> instances = sample();
        RegistryEncoder encoder;
        if (loaded)
            encoder.learn(fresh(instances), instances);
        else
            QCOMPARE(encoder.encode(instances), fresh(instances));
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
        }
        QCOMPARE(encoder.encode(instances), fresh(instances));
        QCOMPARE(encoder.encode({}), QByteArray("[]"));
    }

    // A file written by hand or by an older run holds the same records in other text; that text
    // must not reach the next save.
    void learn_reusesOnlyTheTextEncodeWrites_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<HalvexInstance>>("records");
        const QList<HalvexInstance> records = sample();
        QJsonArray array;
        for (const HalvexInstance &record : records)
            array.append(record.toJson());
        QTest::newRow("as encoded") << fresh(records) << records;
        QTest::newRow("indented") << QJsonDocument(array).toJson(QJsonDocument::Indented) << records;
        QJsonArray running = array;
        QJsonObject first = running.at(0).toObject();
        first[QStringLiteral("isRunning")] = true;
        first[QStringLiteral("note")] = QStringLiteral("{\"[}");
        running[0] = first;
        QTest::newRow("stored running, extra key") << QJsonDocument(running).toJson(QJsonDocument::Compact) << records;
        QTest::newRow("fewer records than the file")
            << QJsonDocument(array).toJson(QJsonDocument::Compact) << records.mid(1);
        QTest::newRow("not an array of objects") << QByteArray("[1,2,3,4]") << records;
    }
    void learn_reusesOnlyTheTextEncodeWrites()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<HalvexInstance>, records);
        RegistryEncoder encoder;
        encoder.learn(file, records);
        QCOMPARE(encoder.encode(records), fresh(records));
        records[2].port = 9999;
        QCOMPARE(encoder.encode(records), fresh(records));
    }
};

QTEST_GUILESS_MAIN(TestRegistryEncoder)
#include "tst_registryencoder.moc"
