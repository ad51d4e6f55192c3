// SPDX-License-Identifier: MIT
#include "FileWrites.h"
#include "RefusedValues.h"
#include "TestHome.h"
#include "core/ReferenceDate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

#include <tuple>

using ImportResult = std::tuple<bool, int, int>;
using TestSupport::readFile;

namespace {

// The export to the path chosen in the file chooser (an empty path cancels it).
bool exportTo(TestHome &home, const QString &path)
{
    std::optional<bool> written;
    home.chooser.answer(path);
    home.importExport->exportConfiguration([&written](bool ok) { written = ok; });
    return QTest::qWaitFor([&written] { return written.has_value(); }) && *written;
}

// The outcome; skipped is -1 when the completion did not find the accepted instances in the registry.
ImportResult importFrom(TestHome &home, const QString &path)
{
    const qsizetype before = home.instances->instances().size();
    std::optional<ImportResult> result;
    home.chooser.answer(path);
    home.importExport->importConfiguration([&](bool ok, int added, int skipped) {
        result = {ok, added, home.instances->instances().size() == before + added ? skipped : -1};
    });
    return QTest::qWaitFor([&result] { return result.has_value(); }) ? *result : ImportResult(false, -1, -1);
}

// The instances as "name:port".
QStringList names(const TestHome &home)
{
    QStringList names;
    for (const HalvexInstance &instance : home.instances->instances())
        names.append(instance.name + u':' + QString::number(instance.port));
    return names;
}

// The file with the value of every member named key replaced.
QByteArray with(const QByteArray &file, const QString &key, const QJsonValue &value)
{
    const QString json = QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    return QString::fromUtf8(file)
        .replace(QRegularExpression('"' + key + "\":(\"[^\"]*\"|[^,}]*)"), '"' + key + "\":" + json.mid(1).chopped(1))
        .toUtf8();
}

} // namespace

class TestImportExportManager : public QObject
{
    Q_OBJECT

private:
    // One for the whole suite: the tables name files in it before a test starts.
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A valid export file of instances given as "name:port", with the data location <test directory>/imported.
    QByteArray configuration(const QStringList &instances) const
    {
        QStringList list;
        for (const QString &instance : instances)
            list.append(QString("{'id':'0f8fad5b-d9cb-469f-a165-70867728950e','name':'%1','authToken':'t','port':%2,"
                                "'isRunning':false,'createdAt':'2025-03-01T14:05:09Z','updatedAt':'2025-03-01T14:"
                                "05:10Z'}")
                            .arg(instance.section(u':', 0, 0), instance.section(u':', 1)));
        return QString("{'exportedAt':'2025-03-03T08:00:00Z','version':'1.2','settings':{'dataStorageLocation':'%1',"
                       "'timezone':'UTC'},'instances':[%2]}")
            .arg(QUrl::fromLocalFile(path("imported")).toString(), list.join(u','))
            .replace(u'\'', u'"')
            .toUtf8();
    }
    QString write(const QByteArray &bytes) const
    {
        TestSupport::writeFile(path("in.json"), bytes);
        return path("in.json");
    }

    // The import of file fails with the message and changes neither registry nor settings.
    void verifyRefused(const QByteArray &file, const QString &message)
    {
        TestHome home;
        home.add("kept", 7000);
        const QByteArray registryBefore = home.registry();
        QCOMPARE(importFrom(home, write(file)), ImportResult(false, 0, 0));
        QVERIFY2(home.importExport->lastError().startsWith("Import failed: " + message),
                 qPrintable(home.importExport->lastError()));
        QCOMPARE(home.registry(), registryBefore);
        QCOMPARE(home.settings->dataStorageLocation(), QUrl::fromLocalFile(home.storage()));
        QCOMPARE(home.settings->timezone(), AppSettings::defaultTimezone());
        QVERIFY(!QFile::exists(home.settings->settingsFilePath()));
        QVERIFY(!QFile::exists(path("imported")));
    }

private slots:
    void init() { QVERIFY(QDir(path("imported")).removeRecursively()); }

    void export_exactFormatForTheOwnerOnly_readBackWhole()
    {
        // A token with escapes of every kind, and what the reader would drop or UTF-8 cannot hold.
        TestHome source;
        TestSupport::writeFile(source.m_paths.registryFile(),
                               TestSupport::json("[{'id':'0f8fad5b-d9cb-469f-a165-70867728950e','name':'orders',"
                                                 "'authToken':'\\ufeffa/b\\\\c\\'d\\u0001\\n é\\ud800','port':8080,"
                                                 "'isRunning':false,'createdAt':762530709.75,'updatedAt':762566400}]"));
        source.startApplication();
        const QUrl location = QUrl::fromLocalFile(path("halvex data"));
        source.settings->setDataStorageLocation(location);
        source.settings->setTimezone("America/New_York");
        const QString file = path("out.json");
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        QVERIFY(exportTo(source, file));

        const QByteArray written = readFile(file);
        const QString exportedAt = QRegularExpression("\"exportedAt\": \"([^\"]*)\"").match(written).captured(1);
        const QDateTime exported = QDateTime::fromString(exportedAt, Qt::ISODate);
        QVERIFY2(exportedAt.size() == 20 && exportedAt.endsWith(u'Z') && exported >= before &&
                     exported <= QDateTime::currentDateTimeUtc(),
                 written.constData());
        // Members in key order (the layout is free), slashes escaped, dates to the second.
        QCOMPARE(written.simplified(),
                 "{ \"exportedAt\": \"" + exportedAt.toLatin1() +
                     "\", \"instances\": [ { \"authToken\": \"\\ufeffa\\/b\\\\c\\\"d\\u0001\\n \xC3\xA9\\ud800\", "
                     "\"createdAt\": \"2025-03-01T14:05:09Z\", \"id\": \"0F8FAD5B-D9CB-469F-A165-70867728950E\", "
                     "\"isRunning\": false, \"name\": \"orders\", \"port\": 8080, \"updatedAt\": "
                     "\"2025-03-02T00:00:00Z\" } ], \"settings\": { \"dataStorageLocation\": \"" +
                     location.toEncoded().replace("/", "\\/") +
                     "\", \"timezone\": \"America\\/New_York\" }, \"version\": \"1.2\" }");
        QCOMPARE(QFile::permissions(file), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        TestHome target;
        QCOMPARE(importFrom(target, file), ImportResult(true, 1, 0));
        // Imported again, every instance conflicts; the settings apply all the same.
        target.settings->setTimezone("UTC");
        QCOMPARE(importFrom(target, file), ImportResult(true, 0, 1));
        // Both files were written: a new run finds what was imported.
        target.killApplication();
        target.settings = std::make_unique<AppSettings>(target.m_paths);
        target.startApplication();
        QTRY_COMPARE(target.settings->timezone(), "America/New_York");
        QCOMPARE(target.settings->dataStorageLocation(), location);
        QCOMPARE(names(target), names(source));
        QCOMPARE(target.instances->instances().first().authToken, source.instances->instances().first().authToken);
    }

    void chooser_failureCancelSuccess()
    {
        TestHome home;
        TestSupport::writeFile(home.path("blocker"), "x");
        QVERIFY(!exportTo(home, home.path("blocker/out.json")));
        const QString error = home.importExport->lastError();
        QVERIFY2(error.startsWith("Export failed: could not write " + home.path("blocker/out.json")),
                 qPrintable(error));
        // A cancel changes nothing, and the message stays.
        QVERIFY(!exportTo(home, QString()));
        QCOMPARE(importFrom(home, QString()), ImportResult(false, 0, 0));
        QCOMPARE(home.importExport->lastError(), error);
        QVERIFY(!QFile::exists(home.settings->settingsFilePath()));
        // The chosen name gets the extension, and success clears the message.
        QVERIFY(exportTo(home, home.path("chosen")));
        QVERIFY(QFile::exists(home.path("chosen.json")));
        QCOMPARE(home.importExport->lastError(), QString());
        const QString suggested = home.chooser.requests().first().suggestedName;
        QVERIFY2(QRegularExpression("^halvex-config-\\d{4}-\\d\\d-\\d\\d-\\d{4}\\.json$").match(suggested).hasMatch(),
                 qPrintable(suggested));
    }

    // Of any version: settings first, then one batch of additions, then the completion, which clears
    // an earlier message. Running instances come in stopped, with a new id and their creation date.
    void import_settingsThenOneBatchThenCompletion()
    {
        TestHome home;
        home.add("kept", 7000);
        QCOMPARE(importFrom(home, path("missing.json")), ImportResult(false, 0, 0));
        const QStringList incoming{"db-0:9000", "db-1:9001", "db-2:9002"};
        QStringList zoneAtAddition;
        connect(home.instances.get(), &InstanceManager::instancesAdded, this,
                [&] { zoneAtAddition.append(home.settings->timezone()); });
        home.instances->waitForSave();
        FileWrites writes(home.m_paths.registryFile());
        const double before = ReferenceDate::now();
        const QByteArray file = with(with(configuration(incoming), "version", "0.1"), "isRunning", true);
        QCOMPARE(importFrom(home, write(file)), ImportResult(true, 3, 0));
        QCOMPARE(home.importExport->lastError(), QString());
        QCOMPARE(zoneAtAddition, QStringList{"UTC"});
        home.instances->waitForSave();
        QCOMPARE(writes.count(), 1);
        QCOMPARE(names(home), QStringList{"kept:7000"} + incoming);
        for (const HalvexInstance &imported : home.instances->instances().mid(1)) {
            QVERIFY(!imported.isRunning && imported.id != QUuid::fromString("0f8fad5b-d9cb-469f-a165-70867728950e"));
            QVERIFY(imported.createdAt == 762530709 && imported.updatedAt >= before);
        }
        QTRY_VERIFY(QFileInfo(path("imported/db-2")).isDir());
        QVERIFY(!QFile::exists(home.storage() + "/db-0"));
    }

    void import_conflicts_data()
    {
        QTest::addColumn<QStringList>("incoming");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("name in other case") << QStringList{"Orders:9000"} << QStringList{};
        QTest::newRow("name and port taken, skipped once") << QStringList{"orders:8080"} << QStringList{};
        QTest::newRow("port taken") << QStringList{"other:8080"} << QStringList{};
        QTest::newRow("one name twice in the file") << QStringList{"New:9001", "nEW:9002"} << QStringList{"New:9001"};
        QTest::newRow("one port twice in the file") << QStringList{"a:9001", "b:9001"} << QStringList{"a:9001"};
    }
    void import_conflicts()
    {
        QFETCH(QStringList, incoming);
        QFETCH(QStringList, added);
        TestHome home;
        home.add("orders", 8080);
        QCOMPARE(importFrom(home, write(configuration(incoming))), ImportResult(true, int(added.size()), 1));
        QCOMPARE(names(home), QStringList{"orders:8080"} + added);
        QCOMPARE(home.settings->timezone(), "UTC");
    }

    void import_badFile_changesNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        const QByteArray valid = configuration({"orders:8080"});
        const auto row = [](const char *name, const QByteArray &file, const char *message) {
            QTest::newRow(name) << file << QString(message);
        };
        row("not JSON", valid.chopped(1), "the file is not valid JSON");
        row("settings missing", QByteArray(valid).replace("settings", "setting"), "the key \"settings\" is missing");
        row("version not a string", with(valid, "version", 1.2), "\"version\" must be a string");
        row("time zone not a string", with(valid, "timezone", 0), "settings: \"timezone\" must be a string");
        row("date without time", with(valid, "exportedAt", "2025-03-03"), "\"exportedAt\" must be a date");
        row("fractional seconds", with(valid, "updatedAt", "2025-03-01T14:05:10.250Z"),
            "instance 1 (\"orders\"): \"updatedAt\" must be a date");
    }
    void import_badFile_changesNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        verifyRefused(file, message);
    }

    void import_refusedValue_changesNothing_data() { RefusedValues::addRecordRows(); }
    void import_refusedValue_changesNothing()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, exportValue);
        QFETCH(QString, message);
        const QString name = key == "name" ? exportValue.toString() : QStringLiteral("orders");
        verifyRefused(with(configuration({"orders:8080"}), key, exportValue),
                      "instance 1 (\"" + name + "\"): " + message);
    }

    void import_refusedLocation_changesNothing_data() { RefusedValues::addLocationRows(); }
    void import_refusedLocation_changesNothing()
    {
        QFETCH(QString, location);
        verifyRefused(with(configuration({"orders:8080"}), "dataStorageLocation", location),
                      "settings: \"dataStorageLocation\" must be a");
    }
};

QTEST_GUILESS_MAIN(TestImportExportManager)
#include "tst_importexportmanager.moc"
