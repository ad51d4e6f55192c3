// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"

#include "backup/ExportConfiguration.h"
#include "core/ReferenceDate.h"
#include "views/SettingsView.h"
#include "views/SystemColors.h"

#include <QDesktopServices>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// The settings sheet over real managers: each section's form for the state it shows, and what its
// controls change.
class TestSettingsView : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

public slots:
    // Stands in for the desktop's browser.
    void openUrl(const QUrl &url) { m_opened.append(url); }

private:
    std::unique_ptr<ViewFixture> m_fixture;
    QList<QUrl> m_opened;

    std::unique_ptr<SettingsView> sheet(BinaryManager *binary = nullptr)
    {
        auto view =
            std::make_unique<SettingsView>(m_fixture->settings.get(), binary ? binary : m_fixture->binary.get(),
                                           m_fixture->importExport.get(), &m_fixture->chooser, &m_fixture->prompter);
        view->show();
        return QTest::qWaitForWindowExposed(view.get()) ? std::move(view) : nullptr;
    }
    // A binary manager whose release server accepts connections and keeps quiet.
    std::unique_ptr<BinaryManager> downloadingFrom(const QTcpServer &release) const
    {
        return std::make_unique<BinaryManager>(m_fixture->settings.get(), m_fixture->m_paths, &m_fixture->chooser,
                                               QUrl(QStringLiteral("https://127.0.0.1:%1").arg(release.serverPort())));
    }
    QString storedSetting(const QString &key) const
    {
        return QJsonDocument::fromJson(TestSupport::readFile(m_fixture->m_paths.settingsFile()))
            .object()
            .value(key)
            .toString();
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
        QTest::addColumn<QStringList>("texts");  // %1: the configured path
        const QString explanation =
            QStringLiteral("Download the pre-built binary for Linux or select an existing binary file");
        const QString title = QStringLiteral("Halvex Binary");
        const QString configured = QStringLiteral("Configured path: %1");
        QTest::newRow("none configured") << ""
                                         << QStringList{title, QStringLiteral("No binary configured"), explanation};
        QTest::newRow("missing file") << "missing"
                                      << QStringList{
                                             title, configured,
                                             QStringLiteral("⚠️ Binary file does not exist at this location"),
                                             explanation};
        QTest::newRow("not executable") << "plain"
                                        << QStringList{title, configured,
                                                       QStringLiteral("⚠️ Binary file is not executable"),
                                                       explanation};
        QTest::newRow("installed") << "runnable"
                                   << QStringList{QStringLiteral("Binary Installed"), QStringLiteral("%1")};
    }
    // Until a usable executable is configured the sheet offers both ways to one; selecting one
    // switches the section to the installed form.
    void binarySection_showsTheConfiguredExecutable()
    {
        QFETCH(QString, executable);
        QFETCH(QStringList, texts);
        const QString path = m_fixture->path(QStringLiteral("halvex"));
        if (!executable.isEmpty()) {
            m_fixture->configureExecutable(path, executable == QStringLiteral("runnable"));
            if (executable == QStringLiteral("missing"))
                QVERIFY(QFile::remove(path));
        }
        auto view = sheet();
        QVERIFY(view);
        for (QString &text : texts)
            text = text.arg(path);
        QCOMPARE(view->binarySectionTexts(), texts);
        const bool installed = executable == QStringLiteral("runnable");
        QCOMPARE(view->downloadButton()->isVisibleTo(view.get()), !installed);
        QCOMPARE(view->selectButton()->isVisibleTo(view.get()), !installed);
        if (installed)
            return;
        const QString selected = m_fixture->path(QStringLiteral("selected"));
        QVERIFY(QFile::copy(TestSupport::serverPath(), selected));
        m_fixture->chooser.answer(selected);
        QTest::mouseClick(view->selectButton(), Qt::LeftButton);
        QTRY_COMPARE(view->binarySectionTexts(), (QStringList{QStringLiteral("Binary Installed"), selected}));
    }

    void changeBinary_offersSelectionAndDownload_data()
    {
        QTest::addColumn<bool>("download");
        QTest::newRow("select another") << false;
        QTest::newRow("download again") << true;
    }
    void changeBinary_offersSelectionAndDownload()
    {
        QFETCH(bool, download);
        QTcpServer release;
        QVERIFY(release.listen(QHostAddress::LocalHost, 0));
        const auto binary = downloadingFrom(release);
        m_fixture->configureExecutable(m_fixture->path(QStringLiteral("halvex")));
        const QString another = m_fixture->path(QStringLiteral("halvex-2"));
        ViewFixture::writeExecutable(another);
        m_fixture->chooser.answer(another);
        auto view = sheet(binary.get());
        QVERIFY(view);
        QVERIFY(view->changeBinaryButton()->isVisibleTo(view.get()));
        view->changeBinaryMenu()->actions().at(download ? 1 : 0)->trigger();
        if (download) {
            QVERIFY(binary->isDownloading());
            QVERIFY(view->progressBar()->isVisibleTo(view.get()));
            QVERIFY(!view->changeBinaryButton()->isEnabled());
            QVERIFY(m_fixture->chooser.requests().isEmpty());
            return;
        }
        QCOMPARE(m_fixture->chooser.requests().size(), 1);
        QTRY_COMPARE(m_fixture->settings->binaryPath(), QUrl::fromLocalFile(another));
        QCOMPARE(view->binarySectionTexts(), (QStringList{QStringLiteral("Binary Installed"), another}));
    }

    void download_showsProgressThenItsError()
    {
        QTcpServer release; // accepts the connection, then hangs up
        QVERIFY(release.listen(QHostAddress::LocalHost, 0));
        const auto binary = downloadingFrom(release);
        auto view = sheet(binary.get());
        QVERIFY(view);
        QVERIFY(!view->progressBar()->isVisibleTo(view.get()));
        QTest::mouseClick(view->downloadButton(), Qt::LeftButton);
        QVERIFY(!view->downloadButton()->isEnabled());
        QVERIFY(view->progressBar()->isVisibleTo(view.get()));
        QCOMPARE(view->progressBar()->value(), 0);
        QVERIFY(view->binarySectionTexts().contains(QStringLiteral("Downloading...")));

        QVERIFY(release.waitForNewConnection(10000));
        release.nextPendingConnection()->abort();
        QTRY_VERIFY_WITH_TIMEOUT(!binary->isDownloading(), 15000);
        QVERIFY(!binary->downloadError().isEmpty());
        QVERIFY(view->downloadButton()->isEnabled());
        QVERIFY(!view->progressBar()->isVisibleTo(view.get()));
        QCOMPARE(view->binarySectionTexts().constLast(), binary->downloadError());
        for (const QLabel *label : view->findChildren<QLabel *>()) {
            if (label->text() == binary->downloadError())
                QVERIFY(isRed(label));
        }
    }

    void export_confirmsWhatItWroteWhere_data()
    {
        QTest::addColumn<QString>("answer"); // below the test directory; empty cancels
        QTest::addColumn<bool>("written");
        QTest::newRow("written") << "backup.json" << true;
        QTest::newRow("cancelled") << "" << false;
        QTest::newRow("failed") << "missing/folder/backup.json" << false;
    }
    void export_confirmsWhatItWroteWhere()
    {
        QFETCH(QString, answer);
        QFETCH(bool, written);
        m_fixture->add(QStringLiteral("orders"));
        m_fixture->add(QStringLiteral("billing"));
        const QString path = answer.isEmpty() ? QString() : m_fixture->path(answer);
        m_fixture->chooser.answer(path);
        auto view = sheet();
        QVERIFY(view);
        QTest::mouseClick(view->exportButton(), Qt::LeftButton);
        const QList<ScriptedPrompter::Alert> &alerts = m_fixture->prompter.alerts();
        if (written) {
            QTRY_COMPARE(alerts.size(), 1);
            QVERIFY(QFileInfo::exists(path));
            QCOMPARE(alerts.first().title, QStringLiteral("Export Successful"));
            QVERIFY(alerts.first().message.contains(QDir::toNativeSeparators(path)));
            QVERIFY(alerts.first().message.contains(QStringLiteral("2 instance(s)")));
            return;
        }
        // Once the outcome has arrived: the error line of a failure, the turn that delivers a cancel.
        if (!answer.isEmpty())
            QTRY_VERIFY(view->lastErrorLabel()->isVisibleTo(view.get()));
        QCoreApplication::processEvents();
        QVERIFY(alerts.isEmpty());
    }

    void import_reportsWhatItTookOver_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        QTest::newRow("all new") << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                                 << "Successfully imported 2 instance(s).";
        QTest::newRow("some conflicting")
            << QStringList{QStringLiteral("a"), QStringLiteral("orders"), QStringLiteral("b"), QStringLiteral("ORDERS")}
            << "Imported 2 instance(s). Skipped 2 due to conflicts.";
    }
    void import_reportsWhatItTookOver()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        m_fixture->add(QStringLiteral("orders"));
        ExportConfiguration configuration;
        configuration.version = QStringLiteral("1.2");
        configuration.exportedAt = ReferenceDate::now();
        configuration.dataStorageLocation = QUrl::fromLocalFile(m_fixture->storage());
        configuration.timezone = QStringLiteral("UTC");
        for (const QString &name : names)
            configuration.instances.append(HalvexInstance::create(name, QStringLiteral("t"), TestSupport::freePort()));
        const QString file = m_fixture->path(QStringLiteral("export.json"));
        QVERIFY(TestSupport::writeFile(file, configuration.encode()));
        m_fixture->chooser.answer(file);
        auto view = sheet();
        QVERIFY(view);
        QTest::mouseClick(view->importButton(), Qt::LeftButton);
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), 1);
        QCOMPARE(m_fixture->prompter.alerts().first().title, QStringLiteral("Import Successful"));
        QCOMPARE(m_fixture->prompter.alerts().first().message, message);
    }

    void import_cancelledOrFailed_showsNoAlert()
    {
        auto view = sheet();
        QVERIFY(view);
        m_fixture->chooser.cancel();
        QTest::mouseClick(view->importButton(), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!view->lastErrorLabel()->isVisibleTo(view.get()));

        const QString broken = m_fixture->path(QStringLiteral("broken.json"));
        QVERIFY(TestSupport::writeFile(broken, "not json"));
        m_fixture->chooser.answer(broken);
        QTest::mouseClick(view->importButton(), Qt::LeftButton);
        QTRY_VERIFY(!m_fixture->importExport->lastError().isEmpty());
        QVERIFY(m_fixture->prompter.alerts().isEmpty());
        QVERIFY(view->lastErrorLabel()->isVisibleTo(view.get()));
        QCOMPARE(view->lastErrorLabel()->text(), m_fixture->importExport->lastError());
        QVERIFY(isRed(view->lastErrorLabel()));
    }

    void timezone_isSavedOnEveryChange()
    {
        auto view = sheet();
        QVERIFY(view);
        QCOMPARE(view->timezoneField()->text(), QStringLiteral("Europe/Vienna"));
        view->timezoneField()->selectAll();
        QTest::keyClick(view->timezoneField(), Qt::Key_Backspace);
        QCOMPARE(storedSetting(QStringLiteral("timezone")), QString());
        QTest::keyClicks(view->timezoneField(), QStringLiteral("E"));
        QCOMPARE(storedSetting(QStringLiteral("timezone")), QStringLiteral("E"));
        QTest::keyClicks(view->timezoneField(), QStringLiteral("urope/Berlin"));
        QCOMPARE(m_fixture->settings->timezone(), QStringLiteral("Europe/Berlin"));
        QCOMPARE(storedSetting(QStringLiteral("timezone")), QStringLiteral("Europe/Berlin"));
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
        const FileChooserRequest request = m_fixture->chooser.requests().first();
        QCOMPARE(request.mode, FileChooserRequest::Mode::OpenDirectory);
        QCOMPARE(request.message, QStringLiteral("Select data storage location"));
        QCOMPARE(request.directory, before);

        const QString expected = chosen ? target : before;
        QTRY_COMPARE(view->storagePathLabel()->text(), expected);
        QCOMPARE(m_fixture->settings->dataStorageLocation(), QUrl::fromLocalFile(expected));
        QCOMPARE(storedSetting(QStringLiteral("dataStorageLocation")),
                 chosen ? QUrl::fromLocalFile(target).toString() : QString());
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), !chosen && !answer.isEmpty() ? 1 : 0);
    }

    void documentationLink_opensInTheBrowser()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        auto view = sheet();
        QVERIFY(view);
        QLabel *link = view->documentationLink();
        const QPoint onText(link->fontMetrics().horizontalAdvance(QStringLiteral("Halvex")) / 2,
                            link->contentsRect().center().y());
        QTest::mouseClick(link, Qt::LeftButton, {}, onText);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(m_opened, QList<QUrl>{SettingsView::documentationUrl()});
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
