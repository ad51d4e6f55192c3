// SPDX-License-Identifier: MIT
#include "app/ApplicationShell.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/InstallLayout.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

// An installed application finds the server installed with it and configures it for a user who
// has none; a build tree and a configured server are left alone.
using TestSupport::json;

class TestBundledServer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    // The application's directory inside an installation prefix of the test's own.
    QString applicationDir() const { return m_dir->filePath(QStringLiteral("prefix/bin")); }
    QString installedServerPath() const
    {
        return QDir::cleanPath(QDir(applicationDir()).filePath(QStringLiteral(HALVEX_BUNDLED_SERVER_FROM_APP_DIR)));
    }
    static bool writeProgram(const QString &path, QFile::Permissions permissions)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n") < 0)
            return false;
        file.close();
        return file.setPermissions(permissions);
    }
    static constexpr QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    AppPaths statePaths() const { return AppPaths(m_dir->filePath(QStringLiteral("state"))); }
    void writeSettings(const QByteArray &bytes) const
    {
        QFile file(statePaths().settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readSettings() const
    {
        QFile file(statePaths().settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QDir().mkpath(applicationDir());
    }

    void bundledServer_foundOnlyInAnInstallation_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("found");
        QTest::newRow("installed with the application") << QStringLiteral("installed") << true;
        QTest::newRow("nothing installed") << QStringLiteral("none") << false;
        QTest::newRow("installed but not executable") << QStringLiteral("not executable") << false;
        QTest::newRow("a directory in its place") << QStringLiteral("directory") << false;
        QTest::newRow("build tree: the server beside the application") << QStringLiteral("build tree") << false;
    }
    void bundledServer_foundOnlyInAnInstallation()
    {
        QFETCH(QString, layout);
        QFETCH(bool, found);
        if (layout == u"installed")
            QVERIFY(writeProgram(installedServerPath(), executable));
        else if (layout == u"not executable")
            QVERIFY(writeProgram(installedServerPath(), QFile::ReadOwner | QFile::WriteOwner));
        else if (layout == u"directory")
            QVERIFY(QDir().mkpath(installedServerPath()));
        else if (layout == u"build tree")
            QVERIFY(writeProgram(QDir(applicationDir()).filePath(QStringLiteral("halvex")), executable));

        const auto server = AppPaths::bundledServer(applicationDir());
        QCOMPARE(server.has_value(), found);
        if (found) {
            QCOMPARE(*server, installedServerPath());
            QVERIFY(!server->contains(QStringLiteral("..")));
        }
    }

    void noServerConfigured_bundledOneConfiguredAndSaved_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::newRow("first start, no settings file") << QByteArray();
        QTest::newRow("settings without a server") << json("{'dataStorageLocation':'file:///srv/h','binaryPath':null}");
    }
    void noServerConfigured_bundledOneConfiguredAndSaved()
    {
        QFETCH(QByteArray, settingsFile);
        QVERIFY(writeProgram(installedServerPath(), executable));
        if (!settingsFile.isEmpty())
            writeSettings(settingsFile);

        AppSettings settings(statePaths());
        ApplicationShell::adoptBundledServer(&settings, applicationDir());
        QCoreApplication::processEvents();

        const QUrl expected = QUrl::fromLocalFile(installedServerPath());
        QCOMPARE(settings.binaryPath(), expected);
        const QJsonObject stored = QJsonDocument::fromJson(readSettings()).object();
        QCOMPARE(stored.value(QStringLiteral("binaryPath")).toString(), expected.toString(QUrl::FullyEncoded));
        if (!settingsFile.isEmpty())
            QCOMPARE(stored.value(QStringLiteral("dataStorageLocation")).toString(), QStringLiteral("file:///srv/h"));
    }

    void serverConfigured_keptAndNothingWritten()
    {
        QVERIFY(writeProgram(installedServerPath(), executable));
        const QByteArray file = json("{'dataStorageLocation':'file:///srv/h','binaryPath':'file:///opt/own/halvex'}");
        writeSettings(file);

        AppSettings settings(statePaths());
        ApplicationShell::adoptBundledServer(&settings, applicationDir());
        QCoreApplication::processEvents();

        QCOMPARE(settings.binaryPath(), QUrl(QStringLiteral("file:///opt/own/halvex")));
        QCOMPARE(readSettings(), file);
    }

    void buildTree_nothingConfiguredAndNothingWritten()
    {
        QVERIFY(writeProgram(QDir(applicationDir()).filePath(QStringLiteral("halvex")), executable));

        AppSettings settings(statePaths());
        ApplicationShell::adoptBundledServer(&settings, applicationDir());
        QCoreApplication::processEvents();

        QVERIFY(settings.binaryPath().isEmpty());
        QVERIFY(!QFile::exists(statePaths().settingsFile()));
    }
};

QTEST_GUILESS_MAIN(TestBundledServer)
#include "tst_bundledserver.moc"
