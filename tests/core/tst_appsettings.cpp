// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"

#include "RefusedValues.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::json;

class TestAppSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    AppPaths paths() const { return AppPaths(m_dir.filePath(QStringLiteral("state/HalvexKelvane"))); }
    void writeSettings(const QByteArray &bytes)
    {
        QFile file(paths().settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readSettings() const
    {
        QFile file(paths().settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void waitForLoad() { QCoreApplication::processEvents(); }

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void noFile_defaultsAndNothingWritten()
    {
        AppSettings settings(paths());
        waitForLoad();
        QCOMPARE(settings.dataStorageLocation(), QUrl::fromLocalFile(QDir::homePath() + QStringLiteral("/Halvex")));
        QVERIFY(settings.binaryPath().isEmpty());
        QCOMPARE(settings.timezone(), QStringLiteral("Europe/Vienna"));
        QVERIFY(!QFile::exists(paths().settingsFile()));
        QCOMPARE(QFile::permissions(paths().directory()), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                              QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    }

    void storedValues_appliedOneTurnLater()
    {
        writeSettings(
            json("{'dataStorageLocation':'file:///srv/halvex','binaryPath':'file:///opt/halvex','timezone':'UTC'}"));
        AppSettings settings(paths());
        QSignalSpy changed(&settings, &AppSettings::changed);
        QCOMPARE(settings.timezone(), QStringLiteral("Europe/Vienna"));
        waitForLoad();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(settings.timezone(), QStringLiteral("UTC"));
        QCOMPARE(settings.dataStorageLocation(), QUrl::fromLocalFile(QStringLiteral("/srv/halvex")));
        QCOMPARE(settings.binaryPath(), QUrl::fromLocalFile(QStringLiteral("/opt/halvex")));
    }

    void file_read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("binary");
        QTest::addColumn<QString>("timezone");
        const QString home = QDir::homePath() + QStringLiteral("/Halvex");
        QTest::newRow("only location") << json("{'dataStorageLocation':'file:///data'}") << "/data"
                                       << ""
                                       << "Europe/Vienna";
        QTest::newRow("null binary and zone")
            << json("{'dataStorageLocation':'file:///data','binaryPath':null,'timezone':null}") << "/data"
            << ""
            << "Europe/Vienna";
        QTest::newRow("extra key ignored") << json("{'dataStorageLocation':'file:///data','theme':'dark'}") << "/data"
                                           << ""
                                           << "Europe/Vienna";
        QTest::newRow("missing location rejects all")
            << json("{'binaryPath':'file:///opt/halvex','timezone':'UTC'}") << home << ""
            << "Europe/Vienna";
        QTest::newRow("location a number rejects all")
            << json("{'dataStorageLocation':5,'timezone':'UTC'}") << home << ""
            << "Europe/Vienna";
        QTest::newRow("bad binary rejects all")
            << json("{'dataStorageLocation':'file:///data','binaryPath':'::','timezone':'UTC'}") << home << ""
            << "Europe/Vienna";
        QTest::newRow("binary a number rejects all")
            << json("{'dataStorageLocation':'file:///data','binaryPath':3,'timezone':'UTC'}") << home << ""
            << "Europe/Vienna";
        QTest::newRow("not json") << QByteArray("{dataStorageLocation") << home << ""
                                  << "Europe/Vienna";
        QTest::newRow("array") << QByteArray("[]") << home << ""
                               << "Europe/Vienna";
    }
    void file_read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, location);
        QFETCH(QString, binary);
        QFETCH(QString, timezone);
        writeSettings(content);
        AppSettings settings(paths());
        waitForLoad();
        QCOMPARE(settings.dataStorageLocation().toLocalFile(), location);
        QCOMPARE(settings.binaryPath().toLocalFile(), binary);
        QCOMPARE(settings.timezone(), timezone);
    }

    void refusedLocation_keepsTheOtherValues_data() { RefusedValues::addLocationRows(); }
    void refusedLocation_keepsTheOtherValues()
    {
        QFETCH(QString, location);
        writeSettings(QJsonDocument(QJsonObject{{"dataStorageLocation", location},
                                                {"binaryPath", "file:///opt/halvex"},
                                                {"timezone", "UTC"}})
                          .toJson());
        AppSettings settings(paths());
        waitForLoad();
        QCOMPARE(settings.dataStorageLocation(), AppSettings::defaultDataStorageLocation());
        QCOMPARE(settings.binaryPath(), QUrl::fromLocalFile(QStringLiteral("/opt/halvex")));
        QCOMPARE(settings.timezone(), QStringLiteral("UTC"));
    }

    // Only QSaveFile's temporaries of our own file, left by a write cut short, go; the second name
    // may be a write in progress.
    void staleTemporaries_removedAtStart()
    {
        const QString directory = paths().directory();
        const QStringList names{"settings.json.AbCdEf", "settings.json.GhIjKl", "settings.json.AbCd12",
                                "settings.json.corrupt-20250101-120000", "other.json.AbCdEf"};
        for (const QString &name : names) {
            QFile file(directory + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const int age = name == names.at(1) ? 0 : 3600;
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-age), QFile::FileModificationTime));
        }
        QVERIFY(QFile::link(directory + QStringLiteral("/other.json.AbCdEf"),
                            directory + QStringLiteral("/settings.json.LiNkEd")));
        AppSettings settings(paths());
        QStringList expected = names.mid(1) << QStringLiteral("settings.json.LiNkEd");
        expected.sort();
        QCOMPARE(QDir(directory).entryList(QDir::Files | QDir::System, QDir::Name), expected);
    }

    void save_writesAllKeysWithNullBinaryAndEscapedSpaces()
    {
        AppSettings settings(paths());
        settings.setDataStorageLocation(QUrl::fromLocalFile(QStringLiteral("/home/ann/My Data")));
        QVERIFY(settings.save());
        const QByteArray bytes = readSettings();
        const QByteArray location = json("'dataStorageLocation':'file:///home/ann/My%20Data'");
        QVERIFY2(bytes.contains(location), bytes.constData());
        QVERIFY(bytes.contains("\"binaryPath\":null"));
        QVERIFY(bytes.contains("\"timezone\":\"Europe/Vienna\""));
        QVERIFY(!bytes.contains('\n'));
        QCOMPARE(QFile::permissions(paths().settingsFile()),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        AppSettings reread(paths());
        waitForLoad();
        QCOMPARE(reread.dataStorageLocation().toLocalFile(), QStringLiteral("/home/ann/My Data"));
    }

    void saveBeforeLoad_keepsStoredValues()
    {
        writeSettings(
            json("{'dataStorageLocation':'file:///data','binaryPath':'file:///opt/halvex','timezone':'UTC'}"));
        AppSettings settings(paths());
        settings.setTimezone(QStringLiteral("Asia/Tokyo"));
        QVERIFY(settings.save());
        waitForLoad();
        QCOMPARE(settings.timezone(), QStringLiteral("Asia/Tokyo")); // the later turn must not undo the change
        const QJsonObject saved = QJsonDocument::fromJson(readSettings()).object();
        QCOMPARE(saved.value(QStringLiteral("dataStorageLocation")).toString(), QStringLiteral("file:///data"));
        QCOMPARE(saved.value(QStringLiteral("binaryPath")).toString(), QStringLiteral("file:///opt/halvex"));
        QCOMPARE(saved.value(QStringLiteral("timezone")).toString(), QStringLiteral("Asia/Tokyo"));
    }

    void undecodableFile_keptAsideBeforeFirstSave()
    {
        writeSettings("{broken");
        AppSettings settings(paths());
        waitForLoad();
        QCOMPARE(readSettings(), QByteArray("{broken")); // untouched at start-up
        QVERIFY(settings.save());
        const QStringList aside = QDir(paths().directory()).entryList({QStringLiteral("settings.json.corrupt-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(paths().directory() + u'/' + aside.first());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("{broken"));
        QVERIFY(settings.save()); // once only
        QCOMPARE(QDir(paths().directory()).entryList({QStringLiteral("settings.json.corrupt-*")}).size(), 1);
    }

    void binaryPath_roundTripsThroughNull()
    {
        writeSettings(json("{'dataStorageLocation':'file:///data','binaryPath':null}"));
        AppSettings settings(paths());
        waitForLoad();
        QVERIFY(settings.binaryPath().isEmpty());
        QVERIFY(settings.save());
        QVERIFY(readSettings().contains("\"binaryPath\":null"));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
