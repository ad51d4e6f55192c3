// SPDX-License-Identifier: MIT
#include "backup/ImportExportManager.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/ReferenceDate.h"
#include "instances/InstanceManager.h"
#include "FileWrites.h"
#include "ScriptedFileChooser.h"

#include "RefusedValues.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <tuple>

using ImportResult = std::tuple<bool, int, int>;

// Everything one run of the application works with, kept under one directory.
struct Workspace
{
    explicit Workspace(const QString &root)
        : paths(root + QStringLiteral("/state"))
        , settings(paths)
        , registry(&settings, paths.registryFile())
        , manager(&settings, &registry, &chooser)
    {
        settings.setDataStorageLocation(QUrl::fromLocalFile(root + QStringLiteral("/data")));
    }

    std::optional<bool> exportTo(const QString &path)
    {
        chooser.answer(path);
        std::optional<bool> result;
        manager.exportConfiguration([&result](bool written) { result = written; });
        if (!QTest::qWaitFor([&result] { return result.has_value(); }))
            return std::nullopt;
        return result;
    }

    std::optional<ImportResult> importFrom(const QString &path)
    {
        chooser.answer(path);
        std::optional<ImportResult> result;
        manager.importConfiguration([&result](bool ok, int added, int skipped) { result = {ok, added, skipped}; });
        if (!QTest::qWaitFor([&result] { return result.has_value(); }))
            return std::nullopt;
        return result;
    }

    void add(const QString &name, qint64 port) { registry.addInstance(HalvexInstance::create(name, "t", port)); }

    QStringList names() const
    {
        QStringList names;
        for (const HalvexInstance &instance : registry.instances())
            names.append(instance.name + u':' + QString::number(instance.port));
        return names;
    }

    AppPaths paths;
    AppSettings settings;
    InstanceManager registry;
    ScriptedFileChooser chooser;
    ImportExportManager manager;
};

using TestSupport::json;

class TestImportExportManager : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write test file");
        return file.fileName();
    }
    static QByteArray readFile(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A valid file, compactly written, with instances given as "name:port" and its data location
    // inside the test directory.
    QByteArray configuration(const QStringList &instances) const
    {
        QJsonArray list;
        for (const QString &instance : instances) {
            QJsonObject object = QJsonDocument::fromJson(json("{'id':'0f8fad5b-d9cb-469f-a165-70867728950e',"
                                                              "'authToken':'t','isRunning':false,"
                                                              "'createdAt':'2025-03-01T14:05:09Z',"
                                                              "'updatedAt':'2025-03-01T14:05:10Z'}"))
                                     .object();
            object.insert("name", instance.section(u':', 0, 0));
            object.insert("port", instance.section(u':', 1).toLongLong());
            list.append(object);
        }
        QJsonObject root =
            QJsonDocument::fromJson(json("{'exportedAt':'2025-03-03T08:00:00Z','version':'1.2'}")).object();
        root.insert("instances", list);
        root.insert("settings", QJsonObject{{"dataStorageLocation", QUrl::fromLocalFile(path("imported")).toString()},
                                            {"timezone", "UTC"}});
        return QJsonDocument(root).toJson(QJsonDocument::Compact);
    }

    // A valid file with one member replaced: of the settings or of its first instance.
    QByteArray configurationWith(const QString &key, const QJsonValue &value) const
    {
        QJsonObject root = QJsonDocument::fromJson(configuration({"orders:8080"})).object();
        const bool setting = key == "dataStorageLocation";
        QJsonObject object = setting ? root["settings"].toObject() : root["instances"].toArray().at(0).toObject();
        object.insert(key, value);
        root.insert(setting ? "settings" : "instances", setting ? QJsonValue(object) : QJsonArray{object});
        return QJsonDocument(root).toJson();
    }
    // The import of file fails with the message and changes neither registry nor settings.
    void verifyRefused(const QByteArray &file, const QString &message)
    {
        Workspace workspace(path("a"));
        workspace.add("kept", 7000);
        const QByteArray registryBefore = readFile(workspace.paths.registryFile());
        QSignalSpy registryChanged(&workspace.registry, &InstanceManager::instancesAdded);

        QCOMPARE(workspace.importFrom(writeFile("in.json", file)), ImportResult(false, 0, 0));
        QVERIFY2(workspace.manager.lastError().startsWith("Import failed: " + message),
                 qPrintable(workspace.manager.lastError()));
        QCOMPARE(registryChanged.size(), 0);
        QCOMPARE(readFile(workspace.paths.registryFile()), registryBefore);
        QCOMPARE(workspace.settings.dataStorageLocation(), QUrl::fromLocalFile(path("a/data")));
        QCOMPARE(workspace.settings.timezone(), AppSettings::defaultTimezone());
        QVERIFY(!QFile::exists(workspace.settings.settingsFilePath()));
        QVERIFY(!QFile::exists(path("imported")));
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void export_writesTheExactFormat()
    {
        QDir().mkpath(path("a/state"));
        writeFile("a/state/instances.json", json("[{'id':'0f8fad5b-d9cb-469f-a165-70867728950e','name':'orders',"
                                                 "'authToken':'a/b\\\\c\\'d\\u0001\\n','port':8080,'isRunning':false,"
                                                 "'createdAt':762530709.75,'updatedAt':762566400}]"));
        Workspace workspace(path("a"));
        workspace.settings.setDataStorageLocation(QUrl::fromLocalFile("/srv/halvex data"));
        workspace.settings.setTimezone("America/New_York");

        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        QCOMPARE(workspace.exportTo(path("out.json")), true);
        const QByteArray written = readFile(path("out.json"));
        const QString exportedAt = QRegularExpression("\"exportedAt\": \"([^\"]*)\"").match(written).captured(1);
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$").match(exportedAt).hasMatch(),
                 qPrintable(exportedAt));
        const QDateTime exported = QDateTime::fromString(exportedAt, Qt::ISODate);
        QVERIFY(exported >= before && exported <= QDateTime::currentDateTimeUtc());

        const QByteArray expected = "{\n"
                                    "  \"exportedAt\": \"" +
                                    exportedAt.toLatin1() +
                                    "\",\n"
                                    "  \"instances\": [\n"
                                    "    {\n"
                                    "      \"authToken\": \"a\\/b\\\\c\\\"d\\u0001\\n\",\n"
                                    "      \"createdAt\": \"2025-03-01T14:05:09Z\",\n"
                                    "      \"id\": \"0F8FAD5B-D9CB-469F-A165-70867728950E\",\n"
                                    "      \"isRunning\": false,\n"
                                    "      \"name\": \"orders\",\n"
                                    "      \"port\": 8080,\n"
                                    "      \"updatedAt\": \"2025-03-02T00:00:00Z\"\n"
                                    "    }\n"
                                    "  ],\n"
                                    "  \"settings\": {\n"
                                    "    \"dataStorageLocation\": \"file:\\/\\/\\/srv\\/halvex%20data\",\n"
                                    "    \"timezone\": \"America\\/New_York\"\n"
                                    "  },\n"
                                    "  \"version\": \"1.2\"\n"
                                    "}\n";
        QCOMPARE(written, expected);
        QCOMPARE(QFile::permissions(path("out.json")),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    void export_emptyRegistry_appendsJsonExtension()
    {
        Workspace workspace(path("a"));
        QCOMPARE(workspace.exportTo(path("empty")), true);
        const QJsonObject root = QJsonDocument::fromJson(readFile(path("empty.json"))).object();
        QCOMPARE(root.value("instances"), QJsonValue(QJsonArray()));
        QCOMPARE(root.value("version").toString(), "1.2");
        QVERIFY(root.value("exportedAt").isString());
        QCOMPARE(root.value("settings").toObject().value("timezone").toString(), "Europe/Vienna");
    }

    void export_unwritableDestination_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::newRow("parent is a regular file") << "blocker/out.json";
        QTest::newRow("directory in the way") << "folder.json";
    }
    void export_unwritableDestination()
    {
        QFETCH(QString, destination);
        writeFile("blocker", "x");
        QVERIFY(QDir(m_dir->path()).mkdir("folder.json"));
        Workspace workspace(path("a"));
        QSignalSpy errorChanged(&workspace.manager, &ImportExportManager::lastErrorChanged);

        QCOMPARE(workspace.exportTo(path(destination)), false);
        QVERIFY2(workspace.manager.lastError().startsWith("Export failed: could not write " + path(destination)),
                 qPrintable(workspace.manager.lastError()));
        QCOMPARE(errorChanged.size(), 1);
        QCOMPARE(workspace.exportTo(path("fine.json")), true);
        QCOMPARE(workspace.manager.lastError(), QString());
        QCOMPARE(errorChanged.size(), 2);
    }

    void cancelledChoosers_changeNothingAndKeepError()
    {
        Workspace workspace(path("a"));
        QCOMPARE(workspace.importFrom(writeFile("bad.json", "nonsense")), ImportResult(false, 0, 0));
        const QString error = workspace.manager.lastError();
        QVERIFY(!error.isEmpty());

        const auto suggestion = []() -> QString {
            return "halvex-config-" + QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmm") + ".json";
        };
        const QString before = suggestion();
        QCOMPARE(workspace.exportTo(QString()), false);
        const QString after = suggestion();
        QCOMPARE(workspace.importFrom(QString()), ImportResult(false, 0, 0));
        QCOMPARE(workspace.manager.lastError(), error);
        QCOMPARE(workspace.settings.dataStorageLocation(), QUrl::fromLocalFile(path("a/data")));
        QVERIFY(!QFile::exists(workspace.settings.settingsFilePath()));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"bad.json"});

        const FileChooserRequest save = workspace.chooser.requests()[1];
        const FileChooserRequest open = workspace.chooser.requests()[2];
        QCOMPARE(save.mode, FileChooserRequest::Mode::SaveFile);
        QCOMPARE(save.title, "Export Halvex Configuration");
        QCOMPARE(save.message, "Choose where to save your configuration");
        QCOMPARE(save.nameFilters, QStringList{"JSON files (*.json)"});
        QVERIFY2(save.suggestedName == before || save.suggestedName == after, qPrintable(save.suggestedName));
        QCOMPARE(open.mode, FileChooserRequest::Mode::OpenFile);
        QCOMPARE(open.title, "Import Halvex Configuration");
        QCOMPARE(open.message, "Select a configuration file to import");
        QCOMPARE(open.nameFilters, QStringList{"JSON files (*.json)"});
    }

    void exportThenImport_intoEmptyRegistry()
    {
        Workspace source(path("source"));
        // Escapes of every kind, and what the reader would drop or UTF-8 cannot hold.
        const QString token = QChar(0xFEFF) + QStringLiteral("a/\"b\\\n\x01\t é") + QChar(0xD800);
        source.registry.addInstance(HalvexInstance::create("orders", token, 8080));
        // A record marked running without a server: exported as it is.
        HalvexInstance running = HalvexInstance::create("billing", "t", 8081);
        running.isRunning = true;
        source.registry.addInstance(running);
        source.settings.setDataStorageLocation(QUrl::fromLocalFile(path("shared data")));
        source.settings.setTimezone("Asia/Tokyo");
        QCOMPARE(source.exportTo(path("config.json")), true);
        QVERIFY(readFile(path("config.json")).contains("\"isRunning\": true"));

        Workspace target(path("target"));
        const double before = ReferenceDate::now();
        QCOMPARE(target.importFrom(path("config.json")), ImportResult(true, 2, 0));
        QCOMPARE(target.settings.dataStorageLocation(), source.settings.dataStorageLocation());
        QCOMPARE(target.settings.timezone(), "Asia/Tokyo");
        QCOMPARE(target.names(), source.names());
        for (qsizetype i = 0; i < 2; ++i) {
            const HalvexInstance &original = source.registry.instances()[i];
            const HalvexInstance &imported = target.registry.instances()[i];
            QCOMPARE(imported.authToken, original.authToken);
            QCOMPARE(imported.createdAt, std::floor(original.createdAt));
            QVERIFY(imported.id != original.id && !imported.id.isNull());
            QVERIFY(!imported.isRunning);
            QVERIFY(imported.updatedAt >= before);
        }
        AppSettings saved(target.paths);
        QTRY_COMPARE(saved.timezone(), "Asia/Tokyo");
        const InstanceManager reloaded(&saved, target.paths.registryFile());
        QCOMPARE(reloaded.instances().size(), 2);
        QCOMPARE(reloaded.instances().first().authToken, token);
    }

    void import_anyVersion_addsOneBatchWithDirectoriesUnderImportedLocation()
    {
        Workspace workspace(path("a"));
        workspace.add("kept", 7000);
        QStringList incoming;
        for (int i = 0; i < 150; ++i)
            incoming.append(QStringLiteral("db-%1:%2").arg(i).arg(9000 + i));
        const QByteArray file = configuration(incoming).replace("\"version\":\"1.2\"", "\"version\":\"0.1\"");
        QSignalSpy added(&workspace.registry, &InstanceManager::instancesAdded);
        FileWrites writes(workspace.paths.registryFile());

        QCOMPARE(workspace.importFrom(writeFile("in.json", file)), ImportResult(true, 150, 0));
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.first().first().value<QList<QUuid>>().size(), 150);
        QCOMPARE(writes.count(), 1);
        QCOMPARE(workspace.names(), QStringList{"kept:7000"} + incoming);
        QTRY_VERIFY(QFileInfo(path("imported/db-149")).isDir());
        QVERIFY(QFileInfo(path("imported/db-0")).isDir());
        QVERIFY(!QFile::exists(path("a/data/db-0")));
    }

    void import_fileJustExported_skipsAllButAppliesSettings()
    {
        Workspace workspace(path("a"));
        workspace.add("orders", 8080);
        workspace.add("billing", 8081);
        QCOMPARE(workspace.exportTo(path("config.json")), true);
        workspace.settings.setTimezone("Asia/Tokyo");
        workspace.settings.setDataStorageLocation(QUrl::fromLocalFile(path("elsewhere")));

        QCOMPARE(workspace.importFrom(path("config.json")), ImportResult(true, 0, 2));
        QCOMPARE(workspace.names(), (QStringList{"orders:8080", "billing:8081"}));
        QCOMPARE(workspace.settings.timezone(), "Europe/Vienna");
        QCOMPARE(workspace.settings.dataStorageLocation(), QUrl::fromLocalFile(path("a/data")));
    }

    void import_conflicts_data()
    {
        QTest::addColumn<QStringList>("incoming");
        QTest::addColumn<ImportResult>("result");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("name in other case") << QStringList{"Orders:9000"} << ImportResult(true, 0, 1) << QStringList{};
        QTest::newRow("one name twice in the file, in other case")
            << QStringList{"New:9001", "nEW:9002"} << ImportResult(true, 1, 1) << QStringList{"New:9001"};
        QTest::newRow("name and port taken") << QStringList{"orders:8080"} << ImportResult(true, 0, 1) << QStringList{};
        QTest::newRow("port taken") << QStringList{"other:8080"} << ImportResult(true, 0, 1) << QStringList{};
        QTest::newRow("one name twice in the file")
            << QStringList{"new:9001", "new:9002"} << ImportResult(true, 1, 1) << QStringList{"new:9001"};
        QTest::newRow("one port twice in the file")
            << QStringList{"a:9001", "b:9001"} << ImportResult(true, 1, 1) << QStringList{"a:9001"};
    }
    void import_conflicts()
    {
        QFETCH(QStringList, incoming);
        QFETCH(ImportResult, result);
        QFETCH(QStringList, added);
        Workspace workspace(path("a"));
        workspace.add("orders", 8080);
        QCOMPARE(workspace.importFrom(writeFile("in.json", configuration(incoming))), result);
        QCOMPARE(workspace.names(), QStringList{"orders:8080"} + added);
        QCOMPARE(workspace.settings.timezone(), "UTC");
    }

    void import_badFile_changesNothing_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("not JSON") << QByteArray("\"version\":\"1.2\"}") << QByteArray("\"version\":\"1.2\"")
                                  << "the file is not valid JSON";
        QTest::newRow("settings missing")
            << QByteArray("\"settings\"") << QByteArray("\"setting\"") << "the key \"settings\" is missing";
        QTest::newRow("version not a string")
            << QByteArray("\"version\":\"1.2\"") << QByteArray("\"version\":1.2") << "\"version\" must be a string";
        QTest::newRow("timezone not a string") << QByteArray("\"timezone\":\"UTC\"") << QByteArray("\"timezone\":0")
                                               << "settings: \"timezone\" must be a string";
        QTest::newRow("port as string") << QByteArray("\"port\":8081") << QByteArray("\"port\":\"8081\"")
                                        << "instance 2 (\"billing\"): \"port\" must be an integer";
        QTest::newRow("fractional seconds") << QByteArray("14:05:10Z") << QByteArray("14:05:10.250Z")
                                            << "instance 1 (\"orders\"): \"updatedAt\" must be a date";
        QTest::newRow("date without time")
            << QByteArray("2025-03-03T08:00:00Z") << QByteArray("2025-03-03") << "\"exportedAt\" must be a date";
    }
    void import_badFile_changesNothing()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, message);
        const QByteArray valid = configuration({"orders:8080", "billing:8081"});
        QVERIFY(valid.contains(from));
        verifyRefused(QByteArray(valid).replace(from, to), message);
    }

    void import_refusedValue_changesNothing_data() { RefusedValues::addRecordRows(); }
    void import_refusedValue_changesNothing()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, exportValue);
        QFETCH(QString, message);
        const QString name = key == "name" ? exportValue.toString() : QStringLiteral("orders");
        verifyRefused(configurationWith(key, exportValue), "instance 1 (\"" + name + "\"): " + message);
    }

    void import_refusedLocation_changesNothing_data() { RefusedValues::addLocationRows(); }
    void import_refusedLocation_changesNothing()
    {
        QFETCH(QString, location);
        verifyRefused(configurationWith("dataStorageLocation", location),
                      "settings: \"dataStorageLocation\" must be a");
    }
};

QTEST_MAIN(TestImportExportManager)
#include "tst_importexportmanager.moc"
