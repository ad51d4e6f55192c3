// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "platform/LoginAutostart.h"
#include "views/SettingsView.h"

#include <QCheckBox>
#include <QTest>

// The desktop's autostart entry, in a configuration folder of the test's own.
class TestLoginAutostart : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString config() const { return m_dir->filePath(QStringLiteral("config")); }
    // The entry's keys and values, as a desktop reads them.
    static QMap<QString, QString> entry(const LoginAutostart &autostart)
    {
        QFile file(autostart.entryPath());
        QMap<QString, QString> keys;
        if (!file.open(QIODevice::ReadOnly))
            return keys;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                keys.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
        }
        return keys;
    }
    static void writeFile(const QString &path, const QByteArray &content, QFile::Permissions permissions = {})
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        file.close();
        if (permissions)
            file.setPermissions(permissions);
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void entry_isWrittenAndRemoved_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("exec");
        QTest::newRow("installed") << QStringLiteral("halvex-kelvane") << QStringLiteral("halvex-kelvane --background");
        QTest::newRow("build tree") << QStringLiteral("/home/ann/src/build/bin/halvex-kelvane")
                                    << QStringLiteral("/home/ann/src/build/bin/halvex-kelvane --background");
        // Quoted, and escaped as a desktop entry's value: "\\$" is a literal dollar sign.
        QTest::newRow("space and dollar") << QStringLiteral("/home/ann/my builds/$HOME/halvex-kelvane")
                                          << QStringLiteral("\"/home/ann/my builds/\\\\$HOME/halvex-kelvane\" "
                                                            "--background");
        QTest::newRow("percent") << QStringLiteral("/opt/100%/halvex-kelvane")
                                 << QStringLiteral("/opt/100%%/halvex-kelvane --background");
    }
    void entry_isWrittenAndRemoved()
    {
        QFETCH(QString, command);
        QFETCH(QString, exec);
        LoginAutostart autostart(config(), command);
        QCOMPARE(autostart.entryPath(), config() + QStringLiteral("/autostart/halvex-kelvane.desktop"));
        QVERIFY(!autostart.isEnabled());

        QString error;
        QVERIFY2(autostart.setEnabled(true, &error), qPrintable(error));
        QVERIFY(autostart.isEnabled());
        const QMap<QString, QString> keys = entry(autostart);
        QCOMPARE(keys.value(QStringLiteral("Exec")), exec);
        QCOMPARE(keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
        QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("Halvex Kelvane"));
        QCOMPARE(keys.value(QStringLiteral("Icon")), QStringLiteral("halvex-kelvane"));

        QVERIFY(autostart.setEnabled(false, &error));
        QVERIFY(!QFile::exists(autostart.entryPath()));
        QVERIFY(!autostart.isEnabled());
        QVERIFY(autostart.setEnabled(false, &error));
    }

    void entry_thatTheDesktopWasToldToSkip_isOff_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain") << QByteArray("[Desktop Entry]\nType=Application\nExec=x\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nHidden=true\n") << false;
        QTest::newRow("switched off in GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("hidden elsewhere")
            << QByteArray("[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n") << true;
    }
    void entry_thatTheDesktopWasToldToSkip_isOff()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, enabled);
        LoginAutostart autostart(config(), QStringLiteral("halvex-kelvane"));
        writeFile(autostart.entryPath(), content);
        QCOMPARE(autostart.isEnabled(), enabled);
    }

    void command_namesTheProgramOnPathByName_data()
    {
        QTest::addColumn<QString>("program"); // relative to the test's folder
        QTest::addColumn<bool>("byName");
        QTest::newRow("the program on PATH") << QStringLiteral("bin/halvex-kelvane") << true;
        QTest::newRow("a link to it on PATH") << QStringLiteral("prefix/halvex-kelvane") << true;
        QTest::newRow("another copy") << QStringLiteral("build/halvex-kelvane") << false;
    }
    void command_namesTheProgramOnPathByName()
    {
        QFETCH(QString, program);
        QFETCH(bool, byName);
        const QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        writeFile(m_dir->filePath(QStringLiteral("prefix/halvex-kelvane")), "#!/bin/sh\n", executable);
        writeFile(m_dir->filePath(QStringLiteral("build/halvex-kelvane")), "#!/bin/sh\n", executable);
        QDir().mkpath(m_dir->filePath(QStringLiteral("bin")));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("prefix/halvex-kelvane")),
                            m_dir->filePath(QStringLiteral("bin/halvex-kelvane"))));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("bin"))));
        const QString command = LoginAutostart::commandFor(m_dir->filePath(program));
        qputenv("PATH", path);
        QCOMPARE(command, byName ? QStringLiteral("halvex-kelvane") : m_dir->filePath(program));
    }

    void settings_startAtLogin_writesTheEntry_andReportsAFailure()
    {
        ViewFixture fixture;
        LoginAutostart autostart(config(), QStringLiteral("halvex-kelvane"));
        SettingsView sheet(fixture.settings.get(), fixture.binary.get(), fixture.importExport.get(), &fixture.chooser,
                           &fixture.prompter);
        sheet.offerDesktopOptions(&fixture.preferences, &autostart);
        QVERIFY(!sheet.startAtLoginCheckBox()->isChecked());
        sheet.startAtLoginCheckBox()->click();
        QVERIFY(autostart.isEnabled());
        sheet.startAtLoginCheckBox()->click();
        QVERIFY(!QFile::exists(autostart.entryPath()));

        // A file where the autostart folder belongs: the entry cannot be written.
        QVERIFY(QDir(config() + QStringLiteral("/autostart")).removeRecursively());
        writeFile(config() + QStringLiteral("/autostart"), "");
        sheet.startAtLoginCheckBox()->click();
        QVERIFY(!sheet.startAtLoginCheckBox()->isChecked());
        QCOMPARE(fixture.prompter.alerts().size(), 1);
        QCOMPARE(fixture.prompter.alerts().first().title, QStringLiteral("Error"));
        QVERIFY(fixture.prompter.alerts().first().message.contains(config() + QStringLiteral("/autostart")));
    }
};

QTEST_MAIN(TestLoginAutostart)
#include "tst_loginautostart.moc"
