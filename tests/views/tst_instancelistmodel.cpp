// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"

#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "views/InstanceListModel.h"
#include "views/InstanceListView.h"

#include <QAbstractItemModelTester>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// The sidebar's model over a real registry: each change of the registry reaches the model as the
// smallest change of rows, and the model always shows what the registry holds.
class TestInstanceListModel : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    using Change = std::function<void(InstanceManager &, const QList<HalvexInstance> &)>;

    static HalvexInstance named(const QString &name, qint64 port)
    {
        return HalvexInstance::create(name, QStringLiteral("token"), port);
    }
    static const QHash<QString, Change> &changes()
    {
        static const QHash<QString, Change> changes{
            {"add", [](InstanceManager &m, const auto &) { m.addInstance(named("d", 4)); }},
            {"add batch",
             [](InstanceManager &m, const auto &) {
                 m.addInstances({named("d", 4), named("e", 5)});
             }},
            {"add empty batch", [](InstanceManager &m, const auto &) { m.addInstances({}); }},
            {"update",
             [](InstanceManager &m, const auto &records) {
                 HalvexInstance renamed = records.at(1);
                 renamed.name = QStringLiteral("bee");
                 m.updateInstance(renamed);
             }},
            {"update unknown", [](InstanceManager &m, const auto &) { m.updateInstance(named("x", 9)); }},
            {"mark running", [](InstanceManager &m, const auto &records) { m.markInstanceRunning(records.at(2).id); }},
            {"delete", [](InstanceManager &m, const auto &records) { m.deleteInstance(records.at(1)); }},
            {"delete unknown", [](InstanceManager &m, const auto &) { m.deleteInstance(named("x", 9)); }},
            {"delete an id held twice",
             [](InstanceManager &m, const auto &records) {
                 HalvexInstance twin = named("twin", 6);
                 twin.id = records.at(1).id;
                 m.addInstance(twin);
                 m.deleteInstance(records.at(1));
             }},
            {"reload", [](InstanceManager &m, const auto &) { m.loadInstances(); }},
        };
        return changes;
    }

private slots:
    void registryChanges_becomeTheSmallestRowChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("add") << "add" << QStringList{"inserted 3-3"};
        QTest::newRow("import as one range") << "add batch" << QStringList{"inserted 3-4"};
        QTest::newRow("empty import") << "add empty batch" << QStringList{};
        QTest::newRow("update") << "update" << QStringList{"changed 1-1"};
        QTest::newRow("update of an unknown id") << "update unknown" << QStringList{};
        QTest::newRow("run state") << "mark running" << QStringList{"changed 2-2"};
        QTest::newRow("delete") << "delete" << QStringList{"removed 1-1"};
        QTest::newRow("delete of an unknown id") << "delete unknown" << QStringList{};
        QTest::newRow("delete of an id held twice")
            << "delete an id held twice" << QStringList{"inserted 3-3", "removed 3-3", "removed 1-1"};
        QTest::newRow("registry read again") << "reload" << QStringList{"reset"};
    }

    void registryChanges_becomeTheSmallestRowChanges()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const AppPaths paths(dir.filePath(QStringLiteral("state")));
        AppSettings settings(paths);
        settings.setDataStorageLocation(QUrl::fromLocalFile(dir.filePath(QStringLiteral("data"))));
        InstanceManager manager(&settings, paths.registryFile());
        const QList<HalvexInstance> records{named("a", 1), named("b", 2), named("c", 3)};
        for (const HalvexInstance &record : records)
            manager.addInstance(record);

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

        changes().value(change)(manager, records);
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

    // What is on the screen, not what a fresh rendering would show: a change must reach the
    // window's backing store through a repaint of its row.
    void recordChanges_repaintTheirRowOnScreen_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("row");
        QTest::newRow("start") << "mark running" << 2;
        QTest::newRow("rename") << "update" << 1;
    }

    void recordChanges_repaintTheirRowOnScreen()
    {
        QFETCH(QString, change);
        QFETCH(int, row);
        QTemporaryDir dir;
        const AppPaths paths(dir.filePath(QStringLiteral("state")));
        AppSettings settings(paths);
        settings.setDataStorageLocation(QUrl::fromLocalFile(dir.filePath(QStringLiteral("data"))));
        InstanceManager manager(&settings, paths.registryFile());
        const QList<HalvexInstance> records{named("a", 1), named("b", 2), named("c", 3)};
        for (const HalvexInstance &record : records)
            manager.addInstance(record);
        InstanceListView view(&manager);
        view.resize(260, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto shownRow = [&view](int row) {
            const QRect rect = view.visualRect(view.model()->index(row, 0));
            const QPoint at = view.viewport()->mapTo(&view, rect.topLeft());
            return view.screen()->grabWindow(view.winId(), at.x(), at.y(), rect.width(), rect.height()).toImage();
        };
        QList<QImage> before;
        for (int i = 0; i < records.size(); ++i)
            before.append(shownRow(i));
        QVERIFY(!before.at(row).isNull());

        changes().value(change)(manager, records);
        QTRY_VERIFY(shownRow(row) != before.at(row));
        for (int i = 0; i < records.size(); ++i) {
            if (i != row)
                QCOMPARE(shownRow(i), before.at(i));
        }
    }
};

QTEST_MAIN(TestInstanceListModel)
#include "tst_instancelistmodel.moc"
