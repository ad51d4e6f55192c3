// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::json;
using TestSupport::readFile;

class TestAppSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    AppPaths paths() const { return AppPaths(m_dir->filePath("state/HalvexKelvane")); }
    QString file() const { return paths().settingsFile(); }
    static void waitForLoad() { QCoreApplication::processEvents(); }
    static constexpr auto privateFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // Columns: the file (none when null), and the location, executable and time zone read from it,
    // which arrive one turn of the event loop later ("" for the default location and for no executable).
    void file_read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("binary");
        QTest::addColumn<QString>("timezone");
        const auto row = [](const char *name, const char *content, const char *location = "", const char *binary = "",
                            const char *timezone = "Europe/Vienna") {
            QTest::newRow(name) << (content ? json(content) : QByteArray()) << QString(location) << QString(binary)
                                << QString(timezone);
        };
        row("no file", nullptr);
        row("all three",
            "{'dataStorageLocation':'file:///srv/halvex','binaryPath':'file:///opt/halvex','timezone':'UTC'}",
            "/srv/halvex", "/opt/halvex", "UTC");
        row("only location, extra key", "{'dataStorageLocation':'file:///data','theme':'dark'}", "/data");
        row("nulls", "{'dataStorageLocation':'file:///data','binaryPath':null,'timezone':null}", "/data");
        // A location that is no folder of this machine is refused alone.
        row("location refused", "{'dataStorageLocation':'file:///','binaryPath':'file:///opt/halvex','timezone':'UTC'}",
            "", "/opt/halvex", "UTC");
        // Anything else wrong refuses the whole file.
        row("missing location", "{'binaryPath':'file:///opt/halvex','timezone':'UTC'}");
        row("location a number", "{'dataStorageLocation':5,'timezone':'UTC'}");
        row("binary not a URL", "{'dataStorageLocation':'file:///data','binaryPath':'::','timezone':'UTC'}");
        row("binary a number", "{'dataStorageLocation':'file:///data','binaryPath':3,'timezone':'UTC'}");
        row("not JSON", "{dataStorageLocation");
    }
    void file_read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, location);
        QFETCH(QString, binary);
        QFETCH(QString, timezone);
        if (!content.isNull())
            TestSupport::writeFile(file(), content);
        AppSettings settings(paths());
        QSignalSpy changed(&settings, &AppSettings::changed);
        QCOMPARE(settings.dataStorageLocation(), QUrl::fromLocalFile(QDir::homePath() + "/Halvex"));
        QCOMPARE(settings.timezone(), "Europe/Vienna");
        waitForLoad();
        QCOMPARE(settings.dataStorageLocation(),
                 location.isEmpty() ? AppSettings::defaultDataStorageLocation() : QUrl::fromLocalFile(location));
        QCOMPARE(settings.binaryPath().toLocalFile(), binary);
        QCOMPARE(settings.timezone(), timezone);
        QCOMPARE(changed.count(), timezone == "Europe/Vienna" && location.isEmpty() ? 0 : 1);
        QCOMPARE(readFile(file()), content); // nothing written at the start
    }

    // Only the temporaries of our own file that a write cut short left behind go; a young one may
    // be a write in progress, and links and other files are not ours.
    void staleTemporaries_removedAtStart()
    {
        const QString directory = paths().directory() + u'/';
        const QStringList names{"settings.json.AbCdEf", "settings.json.GhIjKl", "settings.json.AbCd12",
                                "settings.json.corrupt-20250101-120000", "other.json.AbCdEf"};
        for (const QString &name : names) {
            QFile created(directory + name);
            QVERIFY(created.open(QIODevice::WriteOnly) &&
                    created.setFileTime(QDateTime::currentDateTime().addSecs(name == names.at(1) ? 0 : -3600),
                                        QFile::FileModificationTime));
        }
        QVERIFY(QFile::link(directory + names.last(), directory + "settings.json.LiNkEd"));
        AppSettings settings(paths());
        QCOMPARE(QDir(directory).entryList(QDir::Files | QDir::System, QDir::Name),
                 (QStringList{"other.json.AbCdEf", "settings.json.AbCd12", "settings.json.GhIjKl",
                              "settings.json.LiNkEd", "settings.json.corrupt-20250101-120000"}));
    }

    void save_writesAllKeysCompactlyForTheOwnerOnly()
    {
        AppSettings settings(paths());
        settings.setDataStorageLocation(QUrl::fromLocalFile("/home/ann/My Data"));
        QVERIFY(settings.save());
        QCOMPARE(readFile(file()), json("{'binaryPath':null,'dataStorageLocation':'file:///home/ann/My%20Data',"
                                        "'timezone':'Europe/Vienna'}"));
        QCOMPARE(QFile::permissions(file()), privateFile);
        QCOMPARE(QFile::permissions(paths().directory()), privateFile | QFile::ExeOwner | QFile::ExeUser);
    }

    void saveBeforeLoad_keepsStoredValues()
    {
        TestSupport::writeFile(file(), json("{'dataStorageLocation':'file:///data','binaryPath':'file:///opt/halvex',"
                                            "'timezone':'UTC'}"));
        AppSettings settings(paths());
        settings.setTimezone("Asia/Tokyo");
        QVERIFY(settings.save());
        waitForLoad();
        QCOMPARE(settings.timezone(), "Asia/Tokyo"); // the later turn must not undo the change
        QCOMPARE(readFile(file()), json("{'binaryPath':'file:///opt/halvex','dataStorageLocation':'file:///data',"
                                        "'timezone':'Asia/Tokyo'}"));
    }

    void undecodableFile_keptAsideOnceBeforeFirstSave()
    {
        TestSupport::writeFile(file(), "{broken");
        AppSettings settings(paths());
        waitForLoad();
        QCOMPARE(readFile(file()), QByteArray("{broken")); // untouched at start-up
        QVERIFY(settings.save() && settings.save());
        const QStringList aside = QDir(paths().directory()).entryList({"settings.json.corrupt-*"});
        QVERIFY2(aside.size() == 1 && readFile(paths().directory() + u'/' + aside.first()) == "{broken",
                 qPrintable(aside.join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
