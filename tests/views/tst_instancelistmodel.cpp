// SPDX-License-Identifier: MIT
#include "TestHome.h"

#include "views/InstanceListModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

// The sidebar's model over a real registry: each change of the registry reaches the model as the
// smallest change of rows, and the model always shows what the registry holds.
class TestInstanceListModel : public QObject
{
    Q_OBJECT

private slots:
    void registryChanges_becomeTheSmallestRowChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("add") << "add" << QStringList{"inserted 3-3"};
        QTest::newRow("import as one range") << "add batch" << QStringList{"inserted 3-4"};
        QTest::newRow("update") << "update" << QStringList{"changed 1-1"};
        QTest::newRow("update of an unknown id") << "update unknown" << QStringList{};
        QTest::newRow("run state") << "mark running" << QStringList{"changed 2-2"};
        QTest::newRow("delete") << "delete" << QStringList{"removed 1-1"};
        QTest::newRow("delete of an id held twice")
            << "delete twin" << QStringList{"inserted 3-3", "removed 3-3", "removed 1-1"};
        QTest::newRow("registry read again") << "reload" << QStringList{"reset"};
    }
    void registryChanges_becomeTheSmallestRowChanges()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, expected);
        TestHome home;
        QList<HalvexInstance> records;
        for (const char *name : {"a", "b", "c"})
            records.append(home.add(QString::fromLatin1(name)));
        InstanceManager &manager = *home.instances;
        InstanceListModel model(&manager);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList seen;
        const auto rows = [&seen](const char *kind) {
            return [&seen, kind](const QModelIndex &, int first, int last) {
                seen.append(QStringLiteral("%1 %2-%3").arg(QLatin1String(kind)).arg(first).arg(last));
            };
        };
        connect(&model, &QAbstractItemModel::rowsInserted, this, rows("inserted"));
        connect(&model, &QAbstractItemModel::rowsRemoved, this, rows("removed"));
        connect(&model, &QAbstractItemModel::dataChanged, this,
                [&seen](const QModelIndex &from, const QModelIndex &to) {
                    seen.append(QStringLiteral("changed %1-%2").arg(from.row()).arg(to.row()));
                });
        connect(&model, &QAbstractItemModel::modelReset, this, [&seen] { seen.append(QStringLiteral("reset")); });
        connect(&model, &QAbstractItemModel::layoutChanged, this, [&seen] { seen.append(QStringLiteral("layout")); });

        const auto named = [](const char *name) {
            return HalvexInstance::create(QString::fromLatin1(name), QStringLiteral("t"), TestSupport::freePort());
        };
        HalvexInstance second = records.at(1);
        if (change == QStringLiteral("add")) {
            manager.addInstance(named("d"));
        } else if (change == QStringLiteral("add batch")) {
            manager.addInstances({named("d"), named("e")});
        } else if (change == QStringLiteral("update")) {
            second.name = QStringLiteral("bee");
            manager.updateInstance(second);
        } else if (change == QStringLiteral("update unknown")) {
            manager.updateInstance(named("x"));
        } else if (change == QStringLiteral("mark running")) {
            manager.markInstanceRunning(records.at(2).id);
        } else if (change == QStringLiteral("delete")) {
            manager.deleteInstance(second);
        } else if (change == QStringLiteral("delete twin")) {
            HalvexInstance twin = named("twin");
            twin.id = second.id;
            manager.addInstance(twin);
            manager.deleteInstance(second);
        } else {
            manager.loadInstances();
        }
        QCOMPARE(seen, expected);

        // Row by row, the model shows the registry's records, each row the first with its id.
        QCOMPARE(model.rowCount(), manager.instances().size());
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row);
            const HalvexInstance shown = *manager.instance(manager.instances().at(row).id);
            QCOMPARE(model.id(index), shown.id);
            QCOMPARE(index.data().toString(), shown.name);
            QCOMPARE(index.data(InstanceListModel::LocalUrlRole).toString(), shown.localURL());
            QCOMPARE(index.data(InstanceListModel::RunningRole).toBool(), shown.isRunning);
            QCOMPARE(model.indexOf(shown.id).row(), static_cast<int>(manager.instances().indexOf(shown)));
        }
    }
};

QTEST_GUILESS_MAIN(TestInstanceListModel)
#include "tst_instancelistmodel.moc"
