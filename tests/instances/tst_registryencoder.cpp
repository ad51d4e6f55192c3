// SPDX-License-Identifier: MIT
#include "instances/RegistryEncoder.h"

#include <QTest>

// Reused record texts must never outlive a change of their record.
class TestRegistryEncoder : public QObject
{
    Q_OBJECT

private:
    static QByteArray fresh(const QList<HalvexInstance> &instances) { return RegistryEncoder().encode(instances); }

private slots:
    void reuse_followsEveryChange_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("rename") << 0;
        QTest::newRow("run state") << 1;
        QTest::newRow("remove") << 2;
        QTest::newRow("reorder") << 3;
        QTest::newRow("same id, new record") << 4;
    }
    void reuse_followsEveryChange()
    {
        QFETCH(int, change);
        QList<HalvexInstance> instances;
        for (int i = 0; i < 4; ++i)
            instances.append(HalvexInstance::create(QStringLiteral("db%1").arg(i), QStringLiteral("t"), 8000 + i));
        RegistryEncoder encoder;
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
        }
        QCOMPARE(encoder.encode(instances), fresh(instances));
        QCOMPARE(encoder.encode({}), QByteArray("[]"));
    }
};

QTEST_GUILESS_MAIN(TestRegistryEncoder)
#include "tst_registryencoder.moc"
