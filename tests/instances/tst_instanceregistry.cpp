// SPDX-License-Identifier: MIT
#include "instances/DataDirectories.h"

#include "FileWrites.h"
#include "RefusedValues.h"
#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using TestSupport::readFile;
using TestSupport::writeFile;

// The list of instances, its file, and the data directories that go with its records.
class TestInstanceRegistry : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestHome> m_home;

    InstanceManager &registry() const { return *m_home->instances; }
    QString registryFile() const { return m_home->m_paths.registryFile(); }
    QJsonArray stored() const { return QJsonDocument::fromJson(readFile(registryFile())).array(); }
    QString dataDirectory(const QString &name) const { return m_home->storage() + u'/' + name; }
    static HalvexInstance named(const QString &name) { return HalvexInstance::create(name, u"token"_s, 8080); }
    static QByteArray compact(const QJsonObject &object)
    {
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    static bool occupied(const QString &path) { return QFileInfo::exists(path) || QFileInfo(path).isSymLink(); }

    // The reader refuses the file: the list stays empty, and the file is kept aside, whole, before
    // the first save replaces it.
    void expectRefused(const QByteArray &bytes)
    {
        m_home->killApplication();
        QVERIFY(writeFile(registryFile(), bytes));
        m_home->startApplication();
        QVERIFY(registry().instances().isEmpty());
        QCOMPARE(readFile(registryFile()), bytes);
        m_home->add(u"fresh"_s);
        const QStringList aside = QDir(m_home->m_paths.directory()).entryList({u"instances.json.corrupt-*"_s});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(m_home->m_paths.directory() + u'/' + aside.first()), bytes);
        QCOMPARE(stored().size(), 1);
    }

private slots:
    void init() { m_home = std::make_unique<TestHome>(); }
    void cleanup() { m_home.reset(); }

    void saveAndReload_everyRecordInOrderNoneRunning()
    {
        HalvexInstance busy = named(u"busy"_s);
        busy.isRunning = true;
        busy.createdAt = busy.updatedAt = 100.5;
        registry().addInstance(busy);
        m_home->add(u"idle"_s);
        const QByteArray bytes = readFile(registryFile());
        QVERIFY(bytes.contains("\"isRunning\":true") && !bytes.contains(' '));
        QCOMPARE(QFile::permissions(registryFile()),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        // A write cut short leaves its temporary file, tokens and all.
        QFile stray(registryFile() + u".XyZabc"_s);
        QVERIFY(stray.open(QIODevice::WriteOnly));
        QVERIFY(stray.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFile::FileModificationTime));
        stray.close();

        m_home->startApplication();
        QVERIFY(!stray.exists());
        const QList<HalvexInstance> &loaded = registry().instances();
        QCOMPARE(loaded.size(), 2);
        QCOMPARE(loaded[0].id, busy.id);
        QCOMPARE(loaded[0].createdAt, 100.5);
        QVERIFY(loaded[0].updatedAt > 100.5);
        // No server of this run belongs to it: "running" would make it unstartable for ever.
        QVERIFY(!loaded[0].isRunning);
        QCOMPARE(loaded[1].name, u"idle"_s);
    }

    void unreadable_failsTheWholeFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = compact(named(u"orders"_s).toJson());
        QJsonObject noPort = named(u"billing"_s).toJson();
        noPort.remove(u"port"_s);
        QTest::newRow("not an array") << QByteArray("{\"instances\":[]}");
        QTest::newRow("a record without port after a good one") << '[' + good + ',' + compact(noPort) + ']';
        QTest::newRow("a record that is no object") << '[' + good + ",1]";
    }
    void unreadable_failsTheWholeFile()
    {
        QFETCH(QByteArray, bytes);
        expectRefused(bytes);
    }

    // A record that could never start, or whose name would reach outside the storage location.
    void refusedValue_failsTheWholeFile_data() { RefusedValues::addRecordRows(); }
    void refusedValue_failsTheWholeFile()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, registryValue);
        QJsonObject bad = named(u"billing"_s).toJson();
        bad[key] = registryValue;
        expectRefused('[' + compact(named(u"orders"_s).toJson()) + ',' + compact(bad) + ']');
    }

    void update_replacesInPlaceButNeverTheRunState()
    {
        for (const QString &name : {u"a"_s, u"b"_s, u"c"_s})
            m_home->add(name);
        HalvexInstance changed = registry().instances().at(1);
        changed.name = u"renamed"_s;
        changed.isRunning = true; // a stale copy: no server runs
        changed.updatedAt = 1;
        QSignalSpy updated(&registry(), &InstanceManager::instanceUpdated);
        QVERIFY(registry().updateInstance(changed));
        QCOMPARE(updated.count(), 1);
        const HalvexInstance now = registry().instances().at(1);
        QCOMPARE(now.name, u"renamed"_s);
        QVERIFY(!now.isRunning && now.updatedAt > 1);
        QCOMPARE(stored().at(1)[u"name"].toString(), u"renamed"_s);

        const QByteArray before = readFile(registryFile());
        QString error;
        QVERIFY(!registry().updateInstance(named(u"stranger"_s), &error));
        QCOMPARE(error, u"The instance no longer exists"_s);
        QCOMPARE(readFile(registryFile()), before);
        QCOMPARE(updated.count(), 1);
    }

    // Records are found through an index of their positions, which every change must keep true.
    void lookup_findsTheFirstRecordOfAnIdAfterEveryChange()
    {
        const HalvexInstance a = named(u"a"_s), b = named(u"b"_s), c = named(u"c"_s);
        HalvexInstance twin = named(u"twin"_s);
        twin.id = b.id; // the registry does not refuse a caller that repeats an id
        for (const HalvexInstance &record : {a, b, c, twin})
            registry().addInstance(record);
        QCOMPARE(registry().instance(b.id)->name, u"b"_s);
        QCOMPARE(registry().instanceNamed(u"C"_s)->id, c.id);
        registry().deleteInstance(a);
        QVERIFY(!registry().instance(a.id));
        QCOMPARE(registry().instance(c.id)->name, u"c"_s);
        HalvexInstance renamed = b;
        renamed.name = u"bee"_s;
        QVERIFY(registry().updateInstance(renamed));
        QCOMPARE(registry().instances().at(0).name, u"bee"_s);
        QCOMPARE(registry().instances().at(2).name, u"twin"_s);
        registry().deleteInstance(b);
        QCOMPARE(registry().instances().size(), 1);
        QCOMPARE(registry().instance(c.id)->name, u"c"_s);
    }

    void addInstances_oneAnnouncementOneWriteThenTheDirectories()
    {
        m_home->add(u"first"_s);
        const QList<HalvexInstance> batch{named(u"batch-0"_s), named(u"batch-1"_s), named(u"batch-2"_s)};
        QSignalSpy added(&registry(), &InstanceManager::instancesAdded);
        FileWrites writes(registryFile());
        registry().addInstances(batch);
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.first().first().value<QList<QUuid>>(), (QList<QUuid>{batch[0].id, batch[1].id, batch[2].id}));
        QCOMPARE(writes.count(), 1);
        QCOMPARE(stored().size(), 4);

        // Before their directories are made, one record is deleted and one renamed.
        registry().deleteInstance(batch[0]);
        HalvexInstance renamed = batch[1];
        renamed.name = u"renamed"_s;
        QVERIFY(registry().updateInstance(renamed));
        QTRY_VERIFY(QFileInfo(dataDirectory(u"batch-2"_s)).isDir());
        QVERIFY(QFileInfo(dataDirectory(u"renamed"_s)).isDir());
        QVERIFY(!occupied(dataDirectory(u"batch-0"_s)) && !occupied(dataDirectory(u"batch-1"_s)));
    }

    // Only a directory the application made for the instance goes with it: what the storage
    // location held under that name before is the user's.
    void delete_removesRecordLogAndOnlyItsOwnDirectory_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("addLine");
        QTest::addColumn<bool>("removed");
        const QString existed = u"ℹ️ Data directory already existed and is used as it is: "_s;
        QTest::newRow("nothing") << "" << u"✓ Data directory created: "_s << true;
        QTest::newRow("a folder of the user's") << "folder" << existed << false;
        QTest::newRow("the directory of another instance") << "other-marker" << existed << false;
        QTest::newRow("a link to a folder elsewhere") << "link" << existed << false;
    }
    void delete_removesRecordLogAndOnlyItsOwnDirectory()
    {
        QFETCH(QString, before);
        QFETCH(QString, addLine);
        QFETCH(bool, removed);
        const HalvexInstance keep = m_home->add(u"keep"_s);
        const QString directory = dataDirectory(u"projects"_s);
        const QString outside = m_home->path(u"outside"_s);
        QVERIFY(QDir().mkpath(outside + u"/thesis"_s));
        if (before == u"link")
            QVERIFY(QFile::link(outside, directory));
        else if (!before.isEmpty())
            QVERIFY(QDir().mkpath(directory + u"/thesis"_s));
        if (before == u"other-marker")
            QVERIFY(writeFile(directory + u'/' + DataDirectories::markerName(), QUuid::createUuid().toByteArray()));

        const HalvexInstance projects = m_home->add(u"projects"_s);
        registry().createDataDirectory(projects); // as every start does
        QCOMPARE(m_home->messages(projects.id), QStringList(2, addLine + directory));
        QCOMPARE(registry().willRemoveDataDirectory(projects), removed);

        registry().deleteInstance(projects);
        QVERIFY(!registry().instance(projects.id) && !registry().logs().contains(projects.id));
        QCOMPARE(stored().size(), 1);
        QCOMPARE(occupied(directory), !removed);
        QCOMPARE(QFileInfo(directory + u"/thesis"_s).isDir(), !removed);
        QVERIFY(QFileInfo(outside + u"/thesis"_s).isDir());
        QVERIFY(QFileInfo(dataDirectory(keep.name)).isDir());
    }

    // A name that got into the list anyway never reaches a path: here, the storage location's parent.
    void unsafeName_buildsNoPath()
    {
        const HalvexInstance keep = m_home->add(u"keep"_s);
        const HalvexInstance unsafe = named(u".."_s);
        registry().addInstance(unsafe);
        QCOMPARE(m_home->messages(unsafe.id),
                 QStringList{u"⚠️ Warning: Could not create data directory: invalid instance name"_s});
        registry().deleteInstance(unsafe);
        QVERIFY(QFileInfo(dataDirectory(keep.name)).isDir());
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
        const HalvexInstance stored = m_home->add(u"Orders"_s);
        const QString from = dataDirectory(u"Orders"_s), to = dataDirectory(u"sales"_s);
        QVERIFY(writeFile(from + u"/halvex.db"_s, "data"));
        if (inTheWay == u"directory")
            QVERIFY(QDir().mkpath(to));
        if (inTheWay == u"link")
            QVERIFY(QFile::link(m_home->path(u"nowhere"_s), to));
        const QByteArray registryBefore = readFile(registryFile());

        HalvexInstance renamed = stored;
        renamed.name = u"sales"_s;
        QString error;
        QCOMPARE(registry().updateInstance(renamed, &error), inTheWay.isEmpty());
        if (!inTheWay.isEmpty()) {
            QCOMPARE(error, u"Cannot rename the instance to 'sales': %1 already exists. Choose another name, or move "
                            "that directory away first."_s.arg(to));
            QCOMPARE(registry().instances().last(), stored);
            QCOMPARE(readFile(registryFile()), registryBefore);
            QVERIFY(QFileInfo::exists(from + u"/halvex.db"_s));
            return;
        }
        QVERIFY(!occupied(from) && QFileInfo::exists(to + u"/halvex.db"_s));
        QCOMPARE(m_home->messages(stored.id).last(), u"✓ Data directory moved: %1 → %2"_s.arg(from, to));
        // Still the instance's own: it goes with the instance.
        registry().deleteInstance(renamed);
        QVERIFY(!occupied(to));
    }

    void startAtLaunch_keptBesideTheRegistryUntilDelete()
    {
        const HalvexInstance a = m_home->add(u"a"_s), b = m_home->add(u"b"_s);
        const QByteArray registryBefore = readFile(registryFile());
        for (const QUuid &id : {a.id, b.id, QUuid::createUuid()})
            registry().setStartsAtLaunch(id, true);
        QCOMPARE(readFile(registryFile()), registryBefore);
        m_home->startApplication();
        QVERIFY(registry().startsAtLaunch(a.id) && registry().startsAtLaunch(b.id));
        registry().deleteInstance(a);
        const QString file = m_home->m_paths.directory() + u"/autostart.json"_s;
        QCOMPARE(QFile::permissions(file), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QCOMPARE(QJsonDocument::fromJson(readFile(file)).object(),
                 (QJsonObject{{b.id.toString(QUuid::WithoutBraces), true}}));
    }

    void save_failureReportedOnceThenRecovered()
    {
        QSignalSpy failed(&registry(), &InstanceManager::saveFailed);
        QVERIFY(QDir().mkpath(registryFile())); // a directory in the way
        m_home->add(u"orders"_s);
        QVERIFY(!registry().saveInstances());
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed[0][0].toString().startsWith(u"Could not save instances.json: "_s),
                 qPrintable(failed[0][0].toString()));
        // The whole state directory gone meanwhile: the next save makes it again, for the owner only.
        QVERIFY(QDir(m_home->m_paths.directory()).removeRecursively());
        QVERIFY(registry().saveInstances());
        QCOMPARE(QFile::permissions(m_home->m_paths.directory()), QFile::ReadOwner | QFile::WriteOwner |
                                                                      QFile::ExeOwner | QFile::ReadUser |
                                                                      QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(stored().size(), 1);
    }

    void dataDirectory_failureExplained_data()
    {
        QTest::addColumn<QString>("location"); // below the home; its last part is a file
        QTest::addColumn<bool>("advice");
        QTest::newRow("on the desktop") << "Desktop/blocker" << true;
        QTest::newRow("in documents, deeper") << "Volumes/Data/Documents/blocker" << true;
        QTest::newRow("in another folder") << "MyDocuments/blocker" << false;
    }
    void dataDirectory_failureExplained()
    {
        QFETCH(QString, location);
        QFETCH(bool, advice);
        const QString blocker = m_home->path(location);
        QVERIFY(QDir().mkpath(QFileInfo(blocker).absolutePath()) && writeFile(blocker, "file"));
        m_home->settings->setDataStorageLocation(QUrl::fromLocalFile(blocker));
        const HalvexInstance instance = named(u"db"_s);
        registry().createDataDirectory(instance);
        const QStringList log = m_home->messages(instance.id);
        QCOMPARE(log.size(), advice ? 6 : 2);
        QVERIFY2(log[0].startsWith(u"⚠️ Warning: Could not create data directory: "_s) && log[0].size() > 46,
                 qPrintable(log[0]));
        QCOMPARE(log[1], u"Path: "_s + blocker + u"/db"_s);
        if (advice) {
            QCOMPARE(log.mid(2),
                     (QStringList{u"💡 Tip: Desktop and Documents folders require special permissions."_s,
                                  u"   Either:"_s, u"   1. Change data location to ~/Halvex in Settings"_s,
                                  u"   2. Grant Full Disk Access in System Settings > Privacy & Security"_s}));
        }
    }
};

QTEST_GUILESS_MAIN(TestInstanceRegistry)
#include "tst_instanceregistry.moc"
