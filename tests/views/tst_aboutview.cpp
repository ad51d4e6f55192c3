// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "core/Version.h"
#include "views/AboutView.h"
#include "views/ContentView.h"
#include "views/SettingsView.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The About window: what it says and where it is reached from.
class TestAboutView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewFixture> m_fixture;

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void about_showsVersionLicenseAndPaths()
    {
        AboutView about(m_fixture->settings.get());
        QVERIFY(about.versionLabel()->text().contains(QStringLiteral(HALVEX_KELVANE_VERSION)));
        QFile license(QStringLiteral(LICENSE_FILE));
        QVERIFY(license.open(QIODevice::ReadOnly));
        QCOMPARE(about.licenseText()->toPlainText(), QString::fromUtf8(license.readAll()));
        QCOMPARE(about.stateDirectoryLabel()->text(), m_fixture->m_paths.directory());
        QCOMPARE(about.serverExecutableLabel()->text(), QStringLiteral("not configured"));

        // A server chosen while the window is open shows at once.
        const QString server = m_fixture->path(QStringLiteral("halvex"));
        m_fixture->configureExecutable(server);
        QCOMPARE(about.serverExecutableLabel()->text(), server);
    }

    void about_isReachedFromSettingsAndOpensOnceFromTheWindow()
    {
        SettingsView sheet(m_fixture->settings.get(), m_fixture->binary.get(), m_fixture->importExport.get(),
                           &m_fixture->chooser, &m_fixture->prompter);
        sheet.show();
        sheet.aboutButton()->click();
        QTRY_VERIFY(sheet.findChild<AboutView *>() && sheet.findChild<AboutView *>()->isVisible());

        ContentView window(m_fixture->context());
        window.showAbout();
        window.showAbout();
        QCOMPARE(window.findChildren<AboutView *>().size(), 1);
        QVERIFY(window.aboutView()->isVisible());
    }
};

QTEST_MAIN(TestAboutView)
#include "tst_aboutview.moc"
