// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"

#include "backup/ExportConfiguration.h"
#include "core/ReferenceDate.h"
#include "views/SettingsView.h"
#include "views/SystemColors.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

// The settings sheet over real managers: binary states, storage, time zone, backup, information.
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
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }
    // Lets every event-loop turn queued so far run.
    static bool settle()
    {
        bool reached = false;
        QTimer::singleShot(0, [&reached] { reached = true; });
        return QTest::qWaitFor([&reached] { return reached; });
    }
    QJsonObject storedSettings() const
    {
        QFile file(m_fixture->m_paths.settingsFile());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }
    // In the red of warnings, darkened or lightened as the background needs.
    static bool isRed(const QLabel *label)
    {
        const QColor color = label->palette().color(label->foregroundRole());
        return qAbs(color.hslHue() - SystemColors::red().hslHue()) <= 3 && color.hslSaturation() > 128;
    }
    QString exportFile(const QStringList &names, const QList<qint64> &ports) const
    {
        ExportConfiguration configuration;
        configuration.version = QStringLiteral("1.2");
        configuration.exportedAt = ReferenceDate::now();
        configuration.dataStorageLocation = QUrl::fromLocalFile(m_fixture->storage());
        configuration.timezone = QStringLiteral("UTC");
        for (qsizetype i = 0; i < names.size(); ++i)
            configuration.instances.append(HalvexInstance::create(names.at(i), QStringLiteral("t"), ports.at(i)));
        const QString path = m_fixture->path(QStringLiteral("export.json"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(configuration.encode());
        return path;
    }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_opened.clear();
    }
    void cleanup() { m_fixture.reset(); }

    void binarySection_showsTheConfiguredExecutable_data()
    {
        QTest::addColumn<QString>("executable"); // "" none, "missing", "plain" or "runnable"
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("buttons");
        const QString explanation =
            QStringLiteral("Download the pre-built binary for Linux or select an existing binary file");
        const QString configured = QStringLiteral("Configured path: %1");
        QTest::newRow("none configured") << ""
                                         << QStringList{QStringLiteral("Halvex Binary"),
                                                        QStringLiteral("No binary configured"), explanation}
                                         << true;
        QTest::newRow("missing file") << "missing"
                                      << QStringList{QStringLiteral("Halvex Binary"), configured,
                                                     QStringLiteral(
                                                         "⚠️ Binary file does not exist at this location"),
                                                     explanation}
                                      << true;
        QTest::newRow("not executable") << "plain"
                                        << QStringList{QStringLiteral("Halvex Binary"), configured,
                                                       QStringLiteral("⚠️ Binary file is not executable"),
                                                       explanation}
                                        << true;
        QTest::newRow("installed") << "runnable"
                                   << QStringList{QStringLiteral("Binary Installed"), QStringLiteral("%1")} << false;
    }

    void binarySection_showsTheConfiguredExecutable()
    {
        QFETCH(QString, executable);
        QFETCH(QStringList, texts);
        QFETCH(bool, buttons);
        const QString path = m_fixture->path(QStringLiteral("halvex"));
        if (!executable.isEmpty()) {
            m_fixture->configureExecutable(path, executable == QStringLiteral("runnable"));
            if (executable == QStringLiteral("missing"))
                QVERIFY(QFile::remove(path));
        }
        auto view = sheet();
        QVERIFY(view);
        for (QString &text : texts)
            text = text.contains(QStringLiteral("%1")) ? text.arg(path) : text;
        QCOMPARE(view->binarySectionTexts(), texts);
        QCOMPARE(view->downloadButton()->isVisibleTo(view.get()), buttons);
        QCOMPARE(view->selectButton()->isVisibleTo(view.get()), buttons);
    }

    void binarySection_switchesWhenAnExecutableIsSelected()
    {
        const QString path = m_fixture->path(QStringLiteral("halvex"));
        QVERIFY(QFile::copy(QStringLiteral(HALVEX_SERVER_PATH), path));
        auto view = sheet();
        QVERIFY(view);
        m_fixture->chooser.answer(path);
        QTest::mouseClick(view->selectButton(), Qt::LeftButton);
        QTRY_COMPARE(view->binarySectionTexts(), (QStringList{QStringLiteral("Binary Installed"), path}));
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
        QTcpServer release; // accepts and keeps quiet: the download stays under way
        QVERIFY(release.listen(QHostAddress::LocalHost, 0));
        BinaryManager binary(m_fixture->settings.get(), m_fixture->m_paths, &m_fixture->chooser,
                             QUrl(QStringLiteral("https://127.0.0.1:%1").arg(release.serverPort())));
        const QString configured = m_fixture->path(QStringLiteral("halvex"));
        m_fixture->configureExecutable(configured);
        const QString another = m_fixture->path(QStringLiteral("halvex-2"));
        ViewFixture::writeExecutable(another);
        m_fixture->chooser.answer(another);
        auto view = sheet(&binary);
        QVERIFY(view);
        QVERIFY(view->changeBinaryButton()->isVisibleTo(view.get()));
        const QList<QAction *> paths = view->changeBinaryMenu()->actions();
        QCOMPARE(paths.size(), 2);

        paths.at(download ? 1 : 0)->trigger();
        if (download) {
            QVERIFY(binary.isDownloading());
            QVERIFY(view->progressBar()->isVisibleTo(view.get()));
            QVERIFY(!view->changeBinaryButton()->isEnabled());
            QVERIFY(m_fixture->chooser.requests().isEmpty());
            return;
        }
        QCOMPARE(m_fixture->chooser.requests().size(), 1);
        QCOMPARE(m_fixture->chooser.requests().first().directory, QDir::homePath());
        QTRY_COMPARE(m_fixture->settings->binaryPath(), QUrl::fromLocalFile(another));
        QCOMPARE(view->binarySectionTexts(), (QStringList{QStringLiteral("Binary Installed"), another}));
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
        m_fixture->add(QStringLiteral("orders"), 18080);
        m_fixture->add(QStringLiteral("billing"), 18081);
        const QString path = answer.isEmpty() ? QString() : m_fixture->path(answer);
        m_fixture->chooser.answer(path);
        auto view = sheet();
        QVERIFY(view);
        QTest::mouseClick(view->exportButton(), Qt::LeftButton);
        QCOMPARE(m_fixture->chooser.requests().size(), 1);
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
        QVERIFY(settle());
        QVERIFY(alerts.isEmpty());
    }

    void download_showsProgressThenItsError()
    {
        // A release server that accepts the connection and then hangs up.
        QTcpServer release;
        QVERIFY(release.listen(QHostAddress::LocalHost, 0));
        BinaryManager binary(m_fixture->settings.get(), m_fixture->m_paths, &m_fixture->chooser,
                             QUrl(QStringLiteral("https://127.0.0.1:%1").arg(release.serverPort())));
        auto view = sheet(&binary);
        QVERIFY(view);
        QVERIFY(!view->progressBar()->isVisibleTo(view.get()));

        QTest::mouseClick(view->downloadButton(), Qt::LeftButton);
        QVERIFY(binary.isDownloading());
        QVERIFY(!view->downloadButton()->isEnabled());
        QVERIFY(view->progressBar()->isVisibleTo(view.get()));
        QCOMPARE(view->progressBar()->value(), 0);
        QVERIFY(view->binarySectionTexts().contains(QStringLiteral("Downloading...")));

        QVERIFY(release.waitForNewConnection(10000));
        release.nextPendingConnection()->abort();
        QTRY_VERIFY_WITH_TIMEOUT(!binary.isDownloading(), 15000);
        QVERIFY(!binary.downloadError().isEmpty());
        QVERIFY(view->downloadButton()->isEnabled());
        QVERIFY(!view->progressBar()->isVisibleTo(view.get()));
        QCOMPARE(view->binarySectionTexts().constLast(), binary.downloadError());
        const QList<QLabel *> labels = view->findChildren<QLabel *>();
        const auto error = std::find_if(labels.cbegin(), labels.cend(), [&binary](const QLabel *label) {
            return label->text() == binary.downloadError();
        });
        QVERIFY(error != labels.cend());
        QVERIFY(isRed(*error));
    }

    void import_reportsWhatItTookOver_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        QTest::newRow("all new") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}
                                 << "Successfully imported 3 instance(s).";
        QTest::newRow("some conflicting")
            << QStringList{QStringLiteral("a"), QStringLiteral("orders"), QStringLiteral("b"), QStringLiteral("orders"),
                           QStringLiteral("c")}
            << "Imported 3 instance(s). Skipped 2 due to conflicts.";
        QTest::newRow("empty file") << QStringList{} << "Successfully imported 0 instance(s).";
    }

    void import_reportsWhatItTookOver()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        m_fixture->add(QStringLiteral("orders"), 18080);
        QList<qint64> ports;
        for (qsizetype i = 0; i < names.size(); ++i)
            ports.append(names.at(i) == QStringLiteral("orders") ? 18080 : 19000 + i);
        m_fixture->chooser.answer(exportFile(names, ports));
        auto view = sheet();
        QVERIFY(view);
        QTest::mouseClick(view->importButton(), Qt::LeftButton);
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), 1);
        QCOMPARE(m_fixture->prompter.alerts().first().title, QStringLiteral("Import Successful"));
        QCOMPARE(m_fixture->prompter.alerts().first().message, message);
        QCOMPARE(view->importMessage(), message);
    }

    void import_cancelledOrFailed_showsNoAlert()
    {
        auto view = sheet();
        QVERIFY(view);
        m_fixture->chooser.cancel();
        QTest::mouseClick(view->importButton(), Qt::LeftButton);
        QTRY_COMPARE(m_fixture->chooser.requests().size(), 1);
        QVERIFY(!view->lastErrorLabel()->isVisibleTo(view.get()));

        const QString broken = m_fixture->path(QStringLiteral("broken.json"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not json");
        file.close();
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
        QCOMPARE(view->timezoneField()->width(), 200);
        view->timezoneField()->selectAll();
        QTest::keyClick(view->timezoneField(), Qt::Key_Backspace);
        QCOMPARE(storedSettings().value(QStringLiteral("timezone")).toString(), QString());
        QTest::keyClicks(view->timezoneField(), QStringLiteral("E"));
        QCOMPARE(storedSettings().value(QStringLiteral("timezone")).toString(), QStringLiteral("E"));
        QTest::keyClicks(view->timezoneField(), QStringLiteral("urope/Berlin"));
        QCOMPARE(m_fixture->settings->timezone(), QStringLiteral("Europe/Berlin"));
        QCOMPARE(storedSettings().value(QStringLiteral("timezone")).toString(), QStringLiteral("Europe/Berlin"));
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
        QCOMPARE(m_fixture->chooser.requests().size(), 1);
        const FileChooserRequest request = m_fixture->chooser.requests().first();
        QCOMPARE(request.mode, FileChooserRequest::Mode::OpenDirectory);
        QCOMPARE(request.message, QStringLiteral("Select data storage location"));
        QCOMPARE(request.directory, before);

        const QString expected = chosen ? target : before;
        QTRY_COMPARE(m_fixture->settings->dataStorageLocation(), QUrl::fromLocalFile(expected));
        QTRY_COMPARE(view->storagePathLabel()->text(), expected);
        QCOMPARE(storedSettings().value(QStringLiteral("dataStorageLocation")).toString(),
                 chosen ? QUrl::fromLocalFile(target).toString() : QString());
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), !chosen && !answer.isEmpty() ? 1 : 0);
    }

    void information_showsVersionAndOpensTheDocumentation()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        auto view = sheet();
        QVERIFY(view);
        const QList<QLabel *> labels = view->findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(), [](const QLabel *label) {
            return label->text() == QStringLiteral("1.2") && label->accessibleName() == QStringLiteral("Version");
        }));
        QLabel *link = view->documentationLink();
        QCOMPARE(link->accessibleName(), QStringLiteral("Halvex Documentation"));
        const QPoint onText(link->fontMetrics().horizontalAdvance(QStringLiteral("Halvex")) / 2,
                            link->contentsRect().center().y());
        QTest::mouseClick(link, Qt::LeftButton, {}, onText);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(m_opened, QList<QUrl>{SettingsView::documentationUrl()});
    }

    void done_closesOnReturn()
    {
        auto view = sheet();
        QVERIFY(view);
        QCOMPARE(view->size(), QSize(600, 500));
        QSignalSpy finished(view.get(), &QDialog::finished);
        QTest::keyClick(view.get(), Qt::Key_Return);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(view->result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
