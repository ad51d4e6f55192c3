// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/DataDirectories.h"
#include "instances/InstanceManager.h"

#include "TestSupport.h"
#include "RefusedValues.h"
#include "TestSupport.h"
#include "FileWrites.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::logMessages;

using TestSupport::json;

class TestInstanceRegistry : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppSettings> m_settings;

    AppPaths paths() const { return AppPaths(m_dir->filePath(QStringLiteral("state"))); }
    QString storage() const { return m_dir->filePath(QStringLiteral("data")); }
    std::unique_ptr<InstanceManager> manager() const
    {
        return std::make_unique<InstanceManager>(m_settings.get(), paths().registryFile());
    }
    QByteArray registryBytes() const
    {
        QFile file(paths().registryFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QJsonArray registryArray() const { return QJsonDocument::fromJson(registryBytes()).array(); }
    void writeRegistry(const QByteArray &bytes) const
    {
        QFile file(paths().registryFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static HalvexInstance named(const QString &name, qint64 port = 8080)
    {
        return HalvexInstance::create(name, QStringLiteral("token"), port);
    }
    static bool logContains(const QStringList &log, const QString &text)
    {
        return std::any_of(log.begin(), log.end(), [&text](const QString &e) { return e.contains(text); });
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<AppSettings>(paths());
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(storage()));
    }

    void noFile_emptyListAndFirstAddCreatesFile()
    {
        auto registry = manager();
        QVERIFY(registry->instances().isEmpty());
        QVERIFY(!QFile::exists(paths().registryFile()));
        const HalvexInstance instance = named(QStringLiteral("orders"));
        registry->addInstance(instance);
        QCOMPARE(registryArray().size(), 1);
        QVERIFY(!registryBytes().contains(' '));
        QCOMPARE(QFile::permissions(paths().registryFile()),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    void add_appendsStampsUpdatedAndCreatesDataDirectory()
    {
        auto registry = manager();
        registry->addInstance(named(QStringLiteral("first"), 1));
        HalvexInstance second = named(QStringLiteral("second"), 2);
        second.createdAt = 100.5;
        second.updatedAt = 100.5;
        registry->addInstance(second);
        const HalvexInstance stored = registry->instances().last();
        QCOMPARE(stored.id, second.id);
        QCOMPARE(stored.createdAt, 100.5);
        QVERIFY(stored.updatedAt > 100.5);
        QCOMPARE(registryArray().last().toObject().value(QStringLiteral("name")).toString(), QStringLiteral("second"));
        QVERIFY(QFileInfo(storage() + QStringLiteral("/second")).isDir());
        QVERIFY(logContains(registry->logs(second.id),
                            QStringLiteral("✓ Data directory created: ") + storage() + QStringLiteral("/second")));
    }

    void reload_readsEveryRecordNotRunning()
    {
        HalvexInstance running = named(QStringLiteral("busy"));
        {
            auto registry = manager();
            running.isRunning = true;
            registry->addInstance(running);
            registry->addInstance(named(QStringLiteral("idle"), 9000));
            QVERIFY(registryBytes().contains("\"isRunning\":true"));
        }
        auto reloaded = manager();
        QCOMPARE(reloaded->instances().size(), 2);
        QCOMPARE(reloaded->instances().first().id, running.id);
        QVERIFY(!reloaded->instances().first().isRunning);
    }

    void badRecord_emptyListAndFileKeptAside()
    {
        const QByteArray bad = json("[{'id':'0F8FAD5B-D9CB-469F-A165-70867728950E','name':'a','authToken':'t',"
                                    "'isRunning':false,'createdAt':1,'updatedAt':2}]");
        writeRegistry(bad);
        auto registry = manager();
        QVERIFY(registry->instances().isEmpty());
        QCOMPARE(registryBytes(), bad); // untouched at start-up
        registry->addInstance(named(QStringLiteral("fresh")));
        const QStringList aside = QDir(paths().directory()).entryList({QStringLiteral("instances.json.corrupt-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(paths().directory() + u'/' + aside.first());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bad);
        QCOMPARE(registryArray().size(), 1);
    }

    // A record that could never start, or whose name would reach outside the storage location.
    void refusedValue_failsTheRegistry_data() { RefusedValues::addRecordRows(); }
    void refusedValue_failsTheRegistry()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, registryValue);
        const QJsonObject good = named(QStringLiteral("orders")).toJson();
        QJsonObject bad = named(QStringLiteral("billing"), 8081).toJson();
        bad[key] = registryValue;
        const QByteArray stored = QJsonDocument(QJsonArray{good, bad}).toJson(QJsonDocument::Compact);
        writeRegistry(stored);
        auto registry = manager();
        QVERIFY(registry->instances().isEmpty());
        registry->addInstance(named(QStringLiteral("fresh")));
        QCOMPARE(QDir(paths().directory()).entryList({QStringLiteral("instances.json.corrupt-*")}).size(), 1);
    }

    void staleTemporary_removedAtStart()
    {
        QFile stray(paths().registryFile() + QStringLiteral(".XyZabc"));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        QVERIFY(stray.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFile::FileModificationTime));
        stray.close();
        auto registry = manager();
        QVERIFY(!stray.exists());
    }

    void update_replacesInPlaceAndIgnoresUnknownId()
    {
        auto registry = manager();
        registry->addInstance(named(QStringLiteral("a"), 1));
        registry->addInstance(named(QStringLiteral("b"), 2));
        registry->addInstance(named(QStringLiteral("c"), 3));
        HalvexInstance changed = registry->instances().at(1);
        changed.name = QStringLiteral("renamed");
        changed.isRunning = true; // a stale copy: no server runs
        QSignalSpy updated(registry.get(), &InstanceManager::instanceUpdated);
        QVERIFY(registry->updateInstance(changed));
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.first().first().toUuid(), changed.id);
        QCOMPARE(registry->instances().at(1).name, QStringLiteral("renamed"));
        QVERIFY(!registry->instances().at(1).isRunning);
        QVERIFY(registry->instances().at(1).updatedAt > changed.updatedAt);
        QCOMPARE(registryArray().at(1).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("renamed"));

        const QByteArray before = registryBytes();
        const auto listBefore = registry->instances();
        QString error;
        QVERIFY(!registry->updateInstance(named(QStringLiteral("stranger")), &error));
        QCOMPARE(error, QStringLiteral("The instance no longer exists"));
        QCOMPARE(registry->instances(), listBefore);
        QCOMPARE(registryBytes(), before);
        QCOMPARE(updated.count(), 1);
    }

    void lookup_findsTheFirstRecordWithTheIdAfterEveryChange()
    {
        auto registry = manager();
        const HalvexInstance a = named(QStringLiteral("a"), 1);
        const HalvexInstance b = named(QStringLiteral("b"), 2);
        const HalvexInstance c = named(QStringLiteral("c"), 3);
        HalvexInstance twin = named(QStringLiteral("twin"), 4);
        twin.id = b.id; // the registry does not refuse a caller that repeats an id
        for (const HalvexInstance &record : {a, b, c, twin})
            registry->addInstance(record);
        QCOMPARE(registry->instance(b.id)->name, QStringLiteral("b"));

        registry->deleteInstance(a);
        QVERIFY(!registry->instance(a.id));
        QCOMPARE(registry->instance(c.id)->name, QStringLiteral("c"));
        HalvexInstance renamed = b;
        renamed.name = QStringLiteral("bee");
        registry->updateInstance(renamed);
        QCOMPARE(registry->instances().at(0).name, QStringLiteral("bee"));
        QCOMPARE(registry->instances().at(2).name, QStringLiteral("twin"));

        registry->deleteInstance(b);
        QVERIFY(!registry->instance(b.id));
        QCOMPARE(registry->instances().size(), 1);
        QCOMPARE(registry->instance(c.id)->name, QStringLiteral("c"));
    }

    void addInstances_announcesAndWritesOnceThenMakesTheDirectories()
    {
        auto registry = manager();
        registry->addInstance(named(QStringLiteral("first"), 1));
        QList<HalvexInstance> batch;
        for (int i = 0; i < 150; ++i)
            batch.append(named(QStringLiteral("batch-%1").arg(i), 100 + i));
        QSignalSpy added(registry.get(), &InstanceManager::instancesAdded);
        FileWrites writes(paths().registryFile());

        registry->addInstances(batch);
        QCOMPARE(added.count(), 1);
        QList<QUuid> ids;
        for (const HalvexInstance &record : std::as_const(batch))
            ids.append(record.id);
        QCOMPARE(added.first().first().value<QList<QUuid>>(), ids);
        QCOMPARE(writes.count(), 1);
        QCOMPARE(registryArray().size(), 151);
        QVERIFY(registry->instances().last().updatedAt > batch.last().updatedAt);

        // Before its directory is made, one record is deleted and one renamed.
        registry->deleteInstance(registry->instances().at(1));
        HalvexInstance renamed = registry->instances().at(1);
        renamed.name = QStringLiteral("renamed");
        registry->updateInstance(renamed);
        QTRY_VERIFY(QFileInfo(storage() + QStringLiteral("/batch-149")).isDir());
        QVERIFY(QFileInfo(storage() + QStringLiteral("/renamed")).isDir());
        QVERIFY(!QFileInfo::exists(storage() + QStringLiteral("/batch-0")));
        QVERIFY(!QFileInfo::exists(storage() + QStringLiteral("/batch-1")));
        QVERIFY(!registry->logs().contains(batch.first().id));
        QVERIFY(logContains(registry->logs(batch.last().id), QStringLiteral("✓ Data directory created: ")));
    }

    void delete_removesRecordLogAndDirectory()
    {
        auto registry = manager();
        const HalvexInstance keep = named(QStringLiteral("keep"), 1);
        const HalvexInstance gone = named(QStringLiteral("gone"), 2);
        registry->addInstance(keep);
        registry->addInstance(gone);
        QFile data(storage() + QStringLiteral("/gone/db.sqlite"));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.close();
        registry->deleteInstance(gone);
        QCOMPARE(registry->instances().size(), 1);
        QVERIFY(!registry->logs().contains(gone.id));
        QCOMPARE(registryArray().size(), 1);
        QVERIFY(!QFileInfo::exists(storage() + QStringLiteral("/gone")));
        QVERIFY(QFileInfo(storage() + QStringLiteral("/keep")).isDir());

        registry->deleteInstance(keep); // a missing directory is no error
        QDir(storage()).removeRecursively();
        registry->deleteInstance(keep);
        QVERIFY(registry->instances().isEmpty());
        QCOMPARE(registryBytes(), QByteArray("[]"));
    }

    void unsafeNames_buildNoPath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("dot dot") << "..";
        QTest::newRow("dot") << ".";
        QTest::newRow("empty") << "";
        QTest::newRow("slash") << "keep/inner";
        QTest::newRow("absolute") << "/etc";
        QTest::newRow("climbing out") << "../precious";
    }
    void unsafeNames_buildNoPath()
    {
        QFETCH(QString, name);
        auto registry = manager();
        QVERIFY(QDir().mkpath(storage() + QStringLiteral("/keep/inner")));
        QFile sibling(m_dir->filePath(QStringLiteral("sibling.txt")));
        QVERIFY(sibling.open(QIODevice::WriteOnly));
        sibling.close();
        HalvexInstance unsafe = named(name);
        QCOMPARE(registry->dataDirectoryPath(unsafe), QString());
        registry->createDataDirectory(unsafe);
        QCOMPARE(logMessages(registry->logs(unsafe.id)),
                 QStringList{QStringLiteral("⚠️ Warning: Could not create data directory: invalid instance name")});
        QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("precious"))));
        registry->deleteInstance(unsafe);
        QVERIFY(QFileInfo(storage() + QStringLiteral("/keep/inner")).isDir());
        QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("sibling.txt"))));
    }

    // What was in the storage location before an instance of that name came is not the instance's.
    void delete_removesOnlyItsOwnDirectory_data()
    {
        QTest::addColumn<QString>("before"); // what the storage location held under the name
        QTest::addColumn<QString>("addLine");
        QTest::addColumn<bool>("removed");
        const QString created = QStringLiteral("✓ Data directory created: ");
        const QString existed = QStringLiteral("ℹ️ Data directory already existed and is used as it is: ");
        QTest::newRow("nothing") << "" << created << true;
        QTest::newRow("a folder of the user's") << "folder" << existed << false;
        QTest::newRow("the directory of another instance") << "other-marker" << existed << false;
        QTest::newRow("a link to a folder elsewhere") << "link" << existed << false;
    }
    void delete_removesOnlyItsOwnDirectory()
    {
        QFETCH(QString, before);
        QFETCH(QString, addLine);
        QFETCH(bool, removed);
        const QString directory = storage() + QStringLiteral("/projects");
        const QString outside = m_dir->filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/thesis")));
        QVERIFY(QDir().mkpath(storage()));
        if (before == QStringLiteral("link"))
            QVERIFY(QFile::link(outside, directory));
        else if (!before.isEmpty())
            QVERIFY(QDir().mkpath(directory + QStringLiteral("/thesis")));
        if (before == QStringLiteral("other-marker")) {
            QFile marker(directory + u'/' + DataDirectories::markerName());
            QVERIFY(marker.open(QIODevice::WriteOnly));
            marker.write(QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1());
        }

        auto registry = manager();
        const HalvexInstance projects = named(QStringLiteral("projects"));
        registry->addInstance(projects);
        QCOMPARE(logMessages(registry->logs(projects.id)), QStringList{addLine + directory});
        registry->createDataDirectory(projects); // as every start does
        QCOMPARE(logMessages(registry->logs(projects.id)).last(), addLine + directory);
        QCOMPARE(registry->willRemoveDataDirectory(projects), removed);

        registry->deleteInstance(projects);
        QCOMPARE(QFileInfo::exists(directory) || QFileInfo(directory).isSymLink(), !removed);
        if (!removed)
            QVERIFY(QFileInfo(directory + QStringLiteral("/thesis")).isDir());
        QVERIFY(QFileInfo(outside + QStringLiteral("/thesis")).isDir());
    }

    void rename_movesTheDirectoryOrChangesNothing_data()
    {
        QTest::addColumn<QString>("inTheWay"); // at the new name's path
        QTest::newRow("nothing") << "";
        QTest::newRow("a directory") << "directory";
        QTest::newRow("a dangling link") << "link";
    }
    void rename_movesTheDirectoryOrChangesNothing()
    {
        QFETCH(QString, inTheWay);
        auto registry = manager();
        registry->addInstance(named(QStringLiteral("Orders")));
        const HalvexInstance stored = registry->instances().last();
        const QString from = storage() + QStringLiteral("/Orders");
        const QString to = storage() + QStringLiteral("/sales");
        QFile data(from + QStringLiteral("/halvex.db"));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.close();
        if (inTheWay == QStringLiteral("directory"))
            QVERIFY(QDir().mkpath(to));
        if (inTheWay == QStringLiteral("link"))
            QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), to));
        const QByteArray registryBefore = registryBytes();

        HalvexInstance renamed = stored;
        renamed.name = QStringLiteral("sales");
        QString error;
        QCOMPARE(registry->updateInstance(renamed, &error), inTheWay.isEmpty());
        if (!inTheWay.isEmpty()) {
            QCOMPARE(error, QStringLiteral("Cannot rename the instance to 'sales': %1 already exists. Choose another "
                                           "name, or move that directory away first.")
                                .arg(to));
            QCOMPARE(registry->instances().last(), stored);
            QCOMPARE(registryBytes(), registryBefore);
            QVERIFY(QFileInfo::exists(from + QStringLiteral("/halvex.db")));
            return;
        }
        QVERIFY(!QFileInfo::exists(from));
        QVERIFY(QFileInfo::exists(to + QStringLiteral("/halvex.db")));
        QCOMPARE(logMessages(registry->logs(stored.id)).last(),
                 QStringLiteral("✓ Data directory moved: %1 → %2").arg(from, to));
        // Still the instance's own: it goes with the instance.
        registry->deleteInstance(renamed);
        QVERIFY(!QFileInfo::exists(to));
    }

    void startAtLaunch_keptBesideTheRegistryUntilDelete()
    {
        const HalvexInstance a = named(QStringLiteral("a"), 1);
        const HalvexInstance b = named(QStringLiteral("b"), 2);
        const QString file = paths().directory() + QStringLiteral("/autostart.json");
        {
            auto registry = manager();
            registry->addInstance(a);
            registry->addInstance(b);
            const QByteArray registryBefore = registryBytes();
            registry->setStartsAtLaunch(a.id, true);
            registry->setStartsAtLaunch(b.id, true);
            registry->setStartsAtLaunch(QUuid::createUuid(), true); // not in the registry
            QCOMPARE(registryBytes(), registryBefore);
            QCOMPARE(QFile::permissions(file),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        }
        auto registry = manager();
        QVERIFY(registry->startsAtLaunch(a.id) && registry->startsAtLaunch(b.id));
        registry->deleteInstance(a);
        QFile stored(file);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QJsonObject members = QJsonDocument::fromJson(stored.readAll()).object();
        QCOMPARE(members, (QJsonObject{{b.id.toString(QUuid::WithoutBraces), true}}));
    }

    void writeFailure_leavesMemoryIntactAndIsReportedOnce()
    {
        auto registry = manager();
        QSignalSpy failed(registry.get(), &InstanceManager::saveFailed);
        QVERIFY(QDir().mkpath(paths().registryFile())); // a directory in the way
        registry->addInstance(named(QStringLiteral("orders")));
        QCOMPARE(registry->instances().size(), 1);
        QVERIFY(!registry->saveInstances());
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed.at(0).at(0).toString().startsWith(QStringLiteral("Could not save instances.json: ")),
                 qPrintable(failed.at(0).at(0).toString()));
        QDir(paths().registryFile()).removeRecursively();
        QVERIFY(registry->saveInstances());
        QCOMPARE(registryArray().size(), 1);
    }

    void stateDirectoryGone_createdAgainBeforeTheNextSave()
    {
        auto registry = manager();
        const QString directory = m_dir->filePath(QStringLiteral("state"));
        registry->addInstance(named(QStringLiteral("orders")));
        QVERIFY(QDir(directory).removeRecursively());
        registry->addInstance(named(QStringLiteral("billing"), 8081));
        QCOMPARE(QFile::permissions(directory), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                    QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(registryArray().size(), 2);
    }

    void dataDirectory_createsParentsAndRepeatsSuccess()
    {
        auto registry = manager();
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(storage() + QStringLiteral("/deep/er")));
        const HalvexInstance instance = named(QStringLiteral("orders"));
        registry->createDataDirectory(instance);
        const QString path = storage() + QStringLiteral("/deep/er/orders");
        QFile content(path + QStringLiteral("/keep.me"));
        QVERIFY(content.open(QIODevice::WriteOnly));
        content.close();
        registry->createDataDirectory(instance);
        const QStringList log = registry->logs(instance.id);
        QCOMPARE(log.size(), 2);
        QVERIFY(log.at(1).endsWith(QStringLiteral("] ✓ Data directory created: ") + path));
        QVERIFY(QFileInfo::exists(path + QStringLiteral("/keep.me")));
    }

    void dataDirectory_failureLines_data()
    {
        QTest::addColumn<QString>("location"); // below the temporary directory; "blocker" is a file
        QTest::addColumn<bool>("advice");
        QTest::newRow("plain") << "blocker" << false;
        QTest::newRow("desktop") << "Desktop/blocker" << true;
        QTest::newRow("documents deeper") << "Volumes/Data/Documents/blocker" << true;
        QTest::newRow("my documents") << "MyDocuments/blocker" << false;
    }
    void dataDirectory_failureLines()
    {
        QFETCH(QString, location);
        QFETCH(bool, advice);
        const QString blocker = m_dir->filePath(location);
        QVERIFY(QDir().mkpath(QFileInfo(blocker).absolutePath()));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(blocker));

        auto registry = manager();
        const HalvexInstance instance = named(QStringLiteral("db"));
        registry->createDataDirectory(instance);
        const QStringList log = logMessages(registry->logs(instance.id));
        QCOMPARE(log.size(), advice ? 6 : 2);
        QVERIFY2(log.at(0).startsWith(QStringLiteral("⚠️ Warning: Could not create data directory: ")) &&
                     log.at(0).size() > 46,
                 qPrintable(log.at(0)));
        QCOMPARE(log.at(1), QStringLiteral("Path: ") + blocker + QStringLiteral("/db"));
        if (advice) {
            QCOMPARE(log.at(2), QStringLiteral("💡 Tip: Desktop and Documents folders require special permissions."));
            QCOMPARE(log.at(3), QStringLiteral("   Either:"));
            QCOMPARE(log.at(4), QStringLiteral("   1. Change data location to ~/Halvex in Settings"));
            QCOMPARE(log.at(5), QStringLiteral("   2. Grant Full Disk Access in System Settings > Privacy & Security"));
        }
    }
};

QTEST_GUILESS_MAIN(TestInstanceRegistry)
#include "tst_instanceregistry.moc"
