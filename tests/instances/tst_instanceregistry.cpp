// SPDX-License-Identifier: MIT
#include "instances/DataDirectories.h"

#include "RefusedValues.h"
#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {
const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
}

// The list of instances, its file, and the data directories that go with its records.
class TestInstanceRegistry : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestHome> m_home;

    InstanceManager &registry() const { return *m_home->instances; }
    QString state(const QString &name = QString()) const { return m_home->m_paths.directory() + u'/' + name; }
    QString registryFile() const { return m_home->m_paths.registryFile(); }
    QJsonArray stored() const { return QJsonDocument::fromJson(m_home->registry()).array(); }
    QString dataDirectory(const QString &name) const { return m_home->storage() + u'/' + name; }
    static HalvexInstance named(const QString &name) { return HalvexInstance::create(name, u"token"_s, 8080); }
    static QByteArray text(const QJsonObject &record) { return QJsonDocument(record).toJson(QJsonDocument::Compact); }
    static bool occupied(const QString &path) { return QFileInfo::exists(path) || QFileInfo(path).isSymLink(); }

    // The list stays empty, and the file is kept aside, whole, before the first save replaces it.
    void expectRefused(const QByteArray &bytes)
    {
        m_home->killApplication();
        QVERIFY(writeFile(registryFile(), bytes));
        m_home->startApplication();
        QVERIFY(registry().instances().isEmpty());
        QCOMPARE(readFile(registryFile()), bytes);
        m_home->add(u"fresh"_s);
        registry().waitForSave();
        const QStringList aside = QDir(state()).entryList({u"instances.json.corrupt-*"_s});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(state(aside.first())), bytes);
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
        const QByteArray bytes = m_home->registry();
        QVERIFY(bytes.contains("\"isRunning\":true") && !bytes.contains(' '));
        QCOMPARE(QFile::permissions(registryFile()), ownerOnly);
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
        QVERIFY(loaded[0].createdAt == 100.5 && loaded[0].updatedAt > 100.5);
        // No server of this run belongs to it: "running" would make it unstartable for ever.
        QVERIFY(!loaded[0].isRunning);
        QCOMPARE(loaded[1].name, u"idle"_s);
    }

    // The application reads the registry on another thread while it reaches the window system: the
    // application object must still be made on the thread Qt takes for the main one.
    void readingAhead_leavesTheMainThreadToTheApplication()
    {
        m_home->add(u"orders"_s);
        m_home->add(u"sales"_s);
        registry().waitForSave();
        QProcess program;
        program.start(QStringLiteral(READ_AHEAD), {registryFile()});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(), QByteArray("2\n"));
    }

    void unreadable_failsTheWholeFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = text(named(u"orders"_s).toJson());
        QJsonObject noPort = named(u"billing"_s).toJson();
        noPort.remove(u"port"_s);
        QTest::newRow("not an array") << "{\"instances\":[]}"_ba;
        QTest::newRow("a record without port after a good one") << '[' + good + ',' + text(noPort) + ']';
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
        expectRefused('[' + text(named(u"orders"_s).toJson()) + ',' + text(bad) + ']');
    }

    // Records are found through an index of their positions, which every change must keep true.
    void changes_keepPositionsAndRunState()
    {
        const HalvexInstance a = named(u"a"_s), b = named(u"b"_s), c = named(u"c"_s);
        for (const HalvexInstance &record : {a, b, c})
            registry().addInstance(record);
        QCOMPARE(registry().instanceNamed(u"C"_s)->id, c.id);

        HalvexInstance renamed = b;
        renamed.name = u"bee"_s;
        renamed.isRunning = true; // a stale copy: no server runs
        renamed.updatedAt = 1;
        QSignalSpy updated(&registry(), &InstanceManager::instanceUpdated);
        QVERIFY(registry().updateInstance(renamed));
        QCOMPARE(updated.count(), 1);
        const HalvexInstance now = registry().instances().at(1);
        QVERIFY(now.id == b.id && now.name == u"bee" && !now.isRunning && now.updatedAt > 1);
        QCOMPARE(stored().at(1)[u"name"].toString(), u"bee"_s);

        registry().deleteInstance(a);
        QVERIFY(!registry().instance(a.id));
        QCOMPARE(registry().instance(b.id)->name, u"bee"_s);
        registry().deleteInstance(b);
        QCOMPARE(registry().instances().size(), 1);
        QCOMPARE(registry().instance(c.id)->name, u"c"_s);

        const QByteArray before = m_home->registry();
        QString error;
        QVERIFY(!registry().updateInstance(named(u"stranger"_s), &error));
        QCOMPARE(error, u"The instance no longer exists"_s);
        QCOMPARE(m_home->registry(), before);
        QCOMPARE(updated.count(), 1);
    }

    // Only a directory the application made for the instance goes with it: what the storage
    // location held under that name before is the user's.
    void delete_removesRecordLogAndOnlyItsOwnDirectory_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("addLine");
        const QString existed = u"ℹ️ Data directory already existed and is used as it is: "_s;
        QTest::newRow("nothing") << QString() << u"✓ Data directory created: "_s;
        QTest::newRow("a folder of the user's") << u"folder"_s << existed;
        QTest::newRow("the directory of another instance") << u"marked"_s << existed;
    }
    void delete_removesRecordLogAndOnlyItsOwnDirectory()
    {
        QFETCH(QString, before);
        QFETCH(QString, addLine);
        const bool removed = before.isEmpty();
        const HalvexInstance keep = m_home->add(u"keep"_s);
        const QString directory = dataDirectory(u"projects"_s);
        if (!removed)
            QVERIFY(QDir().mkpath(directory + u"/thesis"_s));
        if (before == u"marked")
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
        QVERIFY(QFileInfo(dataDirectory(keep.name)).isDir());
    }

    // A name that got into the list anyway never reaches a path: here, the storage location's parent.
    void unsafeName_buildsNoPath()
    {
        const HalvexInstance unsafe = named(u".."_s);
        registry().addInstance(unsafe);
        QCOMPARE(m_home->messages(unsafe.id),
                 QStringList{u"⚠️ Warning: Could not create data directory: invalid instance name"_s});
        const HalvexInstance keep = m_home->add(u"keep"_s);
        registry().deleteInstance(unsafe);
        QVERIFY(QFileInfo(dataDirectory(keep.name)).isDir());
    }

    void rename_movesTheDirectoryOrChangesNothing_data()
    {
        QTest::addColumn<QString>("inTheWay"); // at the new name's path
        QTest::newRow("nothing") << QString();
        QTest::newRow("a directory") << u"directory"_s;
        QTest::newRow("a dangling link") << u"link"_s;
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
        const QByteArray registryBefore = m_home->registry();

        HalvexInstance renamed = stored;
        renamed.name = u"sales"_s;
        QString error;
        QCOMPARE(registry().updateInstance(renamed, &error), inTheWay.isEmpty());
        if (inTheWay.isEmpty()) {
            QVERIFY(!occupied(from) && QFileInfo::exists(to + u"/halvex.db"_s));
            QCOMPARE(m_home->messages(stored.id).last(), u"✓ Data directory moved: %1 → %2"_s.arg(from, to));
            registry().deleteInstance(renamed); // still the instance's own: it goes with it
            QVERIFY(!occupied(to));
            return;
        }
        QCOMPARE(error, u"Cannot rename the instance to 'sales': %1 already exists. Choose another name, or move "
                        "that directory away first."_s.arg(to));
        QCOMPARE(registry().instances().last(), stored);
        QCOMPARE(m_home->registry(), registryBefore);
        QVERIFY(QFileInfo::exists(from + u"/halvex.db"_s));
    }

    void save_failureReportedOnceThenRecovered()
    {
        QSignalSpy failed(&registry(), &InstanceManager::saveFailed);
        QVERIFY(QDir().mkpath(registryFile())); // a directory in the way
        m_home->add(u"orders"_s);
        QVERIFY(failed.wait());
        QVERIFY2(failed[0][0].toString().startsWith(u"Could not save instances.json: "_s),
                 qPrintable(failed[0][0].toString()));
        m_home->add(u"sales"_s);
        registry().waitForSave();
        QCOMPARE(failed.size(), 1);
        // The whole state directory gone meanwhile: the next save makes it again, for the owner only.
        QVERIFY(QDir(state()).removeRecursively());
        registry().saveInstances();
        QCOMPARE(stored().size(), 2);
        QCOMPARE(QFile::permissions(state()), ownerOnly | QFile::ExeOwner | QFile::ExeUser);
    }

    // The reason and the path, and advice for a folder that may need permissions ("/Documents/"
    // between slashes, however deep).
    void dataDirectory_failureExplained()
    {
        const QString blocker = m_home->path(u"Volumes/Data/Documents/blocker"_s);
        QVERIFY(QDir().mkpath(QFileInfo(blocker).absolutePath()) && writeFile(blocker, "file"));
        m_home->settings->setDataStorageLocation(QUrl::fromLocalFile(blocker));
        const HalvexInstance instance = named(u"db"_s);
        registry().createDataDirectory(instance);
        const QStringList log = m_home->messages(instance.id);
        QCOMPARE(log.size(), 6);
        QVERIFY2(log[0].startsWith(u"⚠️ Warning: Could not create data directory: "_s) && log[0].size() > 46,
                 qPrintable(log[0]));
        QCOMPARE(log.mid(1, 2), (QStringList{u"Path: "_s + blocker + u"/db"_s,
                                             u"💡 Tip: Desktop and Documents folders require special permissions."_s}));
    }
};

QTEST_GUILESS_MAIN(TestInstanceRegistry)
#include "tst_instanceregistry.moc"
