// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "backup/ExportConfiguration.h"
#include "core/ReferenceDate.h"
#include "views/SettingsView.h"
#include "views/SystemColors.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

// The settings sheet over real managers: each section's form for the state it shows, and what its
// controls change.
class TestSettingsView : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;

    std::unique_ptr<SettingsView> sheet()
    {
        return ViewTesting::shown<SettingsView>(QSize(640, 720), m_fixture->settings.get(), m_fixture->binary.get(),
                                                m_fixture->importExport.get(), &m_fixture->chooser,
                                                &m_fixture->prompter);
    }
    // In the red of warnings, darkened or lightened as the background needs.
    static bool isRed(const QLabel *label)
    {
        const QColor color = label->palette().color(label->foregroundRole());
        return qAbs(color.hslHue() - SystemColors::red().hslHue()) <= 3 && color.hslSaturation() > 128;
    }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void binarySection_showsTheConfiguredExecutable_data()
    {
        QTest::addColumn<QString>("executable"); // "" none, "missing", "plain" or "runnable"
        QTest::addColumn<QString>("shown");
        QTest::newRow("none configured") << ""
                                         << "No binary configured";
        QTest::newRow("missing file") << "missing"
                                      << "⚠️ Binary file does not exist at this location";
        QTest::newRow("not executable") << "plain"
                                        << "⚠️ Binary file is not executable";
        QTest::newRow("installed") << "runnable"
                                   << "Binary Installed";
    }
    // Without a usable executable the sheet offers both ways to one; with one, "Change…" offers
    // another. Either way a chosen executable shows as installed.
    void binarySection_showsTheConfiguredExecutable()
    {
        QFETCH(QString, executable);
        QFETCH(QString, shown);
        const QString path = m_fixture->path(QStringLiteral("halvex"));
        if (!executable.isEmpty()) {
            m_fixture->configureExecutable(path, executable == QStringLiteral("runnable"));
            if (executable == QStringLiteral("missing"))
                QVERIFY(QFile::remove(path));
        }
        auto view = sheet();
        QVERIFY(view);
        QVERIFY2(view->binarySectionTexts().contains(shown), qPrintable(view->binarySectionTexts().join(u'|')));
        const bool installed = executable == QStringLiteral("runnable");
        QCOMPARE(view->downloadButton()->isVisibleTo(view.get()), !installed);
        QCOMPARE(view->selectButton()->isVisibleTo(view.get()), !installed);
        QCOMPARE(view->changeBinaryButton()->isVisibleTo(view.get()), installed);

        const QString selected = m_fixture->path(QStringLiteral("selected"));
        QVERIFY(QFile::copy(TestSupport::serverPath(), selected));
        m_fixture->chooser.answer(selected);
        if (installed)
            view->changeBinaryMenu()->actions().first()->trigger();
        else
            QTest::mouseClick(view->selectButton(), Qt::LeftButton);
        QTRY_COMPARE(view->binarySectionTexts(), (QStringList{QStringLiteral("Binary Installed"), selected}));
    }

    // A backup written or taken over is confirmed in an alert; a failure shows in red in the
    // section; a cancel shows nothing.
    void backup_reportsWhatItDid_data()
    {
        QTest::addColumn<bool>("exporting");
        QTest::addColumn<QString>("answer");       // a file below the test directory; empty cancels
        QTest::addColumn<QStringList>("imported"); // the names in the imported file; none: no JSON
        QTest::addColumn<QString>("alert");        // title: message; %1 the file
        QTest::newRow("export written") << true << "backup.json" << QStringList()
                                        << "Export Successful: Saved 2 instance(s) and the settings to:\n%1";
        QTest::newRow("export failed") << true << "missing/backup.json" << QStringList() << QString();
        QTest::newRow("import all new") << false << "backup.json" << QStringList{"a", "b"}
                                        << "Import Successful: Successfully imported 2 instance(s).";
        QTest::newRow("import of no JSON") << false << "backup.json" << QStringList() << QString();
        QTest::newRow("import cancelled") << false << QString() << QStringList() << QString();
    }
    void backup_reportsWhatItDid()
    {
        QFETCH(bool, exporting);
        QFETCH(QString, answer);
        QFETCH(QStringList, imported);
        QFETCH(QString, alert);
        m_fixture->add(QStringLiteral("orders"));
        m_fixture->add(QStringLiteral("billing"));
        const QString file = answer.isEmpty() ? QString() : m_fixture->path(answer);
        if (!exporting && !file.isEmpty()) {
            ExportConfiguration configuration{ExportConfiguration::currentVersion(),
                                              ReferenceDate::now(),
                                              QUrl::fromLocalFile(m_fixture->storage()),
                                              QStringLiteral("UTC"),
                                              {}};
            for (const QString &name : imported)
                configuration.instances.append(
                    HalvexInstance::create(name, QStringLiteral("t"), TestSupport::freePort()));
            QVERIFY(TestSupport::writeFile(file, imported.isEmpty() ? "not json" : configuration.encode()));
        }
        m_fixture->chooser.answer(file);
        auto view = sheet();
        QVERIFY(view);
        QTest::mouseClick(exporting ? view->exportButton() : view->importButton(), Qt::LeftButton);
        const bool fails = !file.isEmpty() && alert.isEmpty();
        if (!alert.isEmpty())
            QTRY_VERIFY(!m_fixture->prompter.alerts().isEmpty());
        if (fails)
            QTRY_VERIFY(view->lastErrorLabel()->isVisibleTo(view.get()));
        QCoreApplication::processEvents(); // the turn that delivers a cancel
        alert.replace(QStringLiteral("%1"), QDir::toNativeSeparators(file));
        QCOMPARE(ViewTesting::alerts(m_fixture->prompter), alert.isEmpty() ? QStringList() : QStringList{alert});
        QCOMPARE(view->lastErrorLabel()->isVisibleTo(view.get()), fails);
        if (fails) {
            QCOMPARE(view->lastErrorLabel()->text(), m_fixture->importExport->lastError());
            QVERIFY(isRed(view->lastErrorLabel()));
        }
    }

    void storageLocation_changesThroughTheFolderChooser_data()
    {
        QTest::addColumn<QString>("answer"); // below the test directory unless absolute; empty cancels
        QTest::addColumn<bool>("chosen");
        QTest::newRow("chosen") << "elsewhere" << true;
        QTest::newRow("cancelled") << "" << false;
        QTest::newRow("root folder refused") << "/" << false;
    }
    void storageLocation_changesThroughTheFolderChooser()
    {
        QFETCH(QString, answer);
        QFETCH(bool, chosen);
        const QString before = m_fixture->storage();
        const QString target = answer.startsWith(u'/') ? answer : m_fixture->path(answer);
        m_fixture->chooser.answer(answer.isEmpty() ? QString() : target);
        auto view = sheet();
        QVERIFY(view);
        QCOMPARE(view->storagePathLabel()->text(), before);
        QTest::mouseClick(view->changeLocationButton(), Qt::LeftButton);
        QCOMPARE(m_fixture->chooser.requests().first().directory, before);

        const QString expected = chosen ? target : before;
        QTRY_COMPARE(view->storagePathLabel()->text(), expected);
        QCOMPARE(QJsonDocument::fromJson(TestSupport::readFile(m_fixture->m_paths.settingsFile()))
                     .object()
                     .value(QStringLiteral("dataStorageLocation"))
                     .toString(),
                 chosen ? QUrl::fromLocalFile(target).toString() : QString());
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), !chosen && !answer.isEmpty() ? 1 : 0);
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
