// SPDX-License-Identifier: MIT
#include "SettingsView.h"

#include "AboutView.h"
#include "Divider.h"
#include "HeaderBar.h"
#include "Prompter.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"
#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"
#include "core/Preferences.h"
#include "core/StorageLocation.h"
#include "core/Version.h"
#include "platform/FileChooser.h"
#include "platform/LoginAutostart.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QLabel *textLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QLabel *headline(const QString &text, QWidget *parent)
{
    QLabel *label = textLabel(text, parent);
    label->setFont(Typography::headline());
    return label;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    QLabel *label = textLabel(text, parent);
    label->setFont(Typography::caption());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SystemColors::makeSecondary(label);
    return label;
}

QLabel *errorCaption(QWidget *parent)
{
    QLabel *label = caption(QString(), parent);
    SystemColors::setTextColor(label, SystemColors::red());
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setAccessibleName(text);
    button->setAutoDefault(false);
    return button;
}

QLabel *symbol(const QString &name, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(parent);
    const int size = QFontMetrics(Typography::title2()).height();
    label->setPixmap(Symbols::tinted(name, color).pixmap(QSize(size, size), parent->devicePixelRatioF()));
    return label;
}

QGroupBox *section(const QString &title, int spacing, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    auto *column = new QVBoxLayout(box);
    column->setSpacing(spacing);
    return box;
}

QVBoxLayout *columnOf(QWidget *widget)
{
    return static_cast<QVBoxLayout *>(widget->layout());
}

QString localPath(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
}

} // namespace

SettingsView::SettingsView(AppSettings *settings, BinaryManager *binaryManager,
                           ImportExportManager *importExportManager, FileChooser *fileChooser, Prompter *prompter,
                           QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_binaryManager(binaryManager)
    , m_importExportManager(importExportManager)
    , m_fileChooser(fileChooser)
    , m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(sheetWidth, sheetHeight);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new HeaderBar(this);
    auto *title = new QLabel(QStringLiteral("Settings"), header);
    title->setFont(Typography::withWeight(Typography::title2(), QFont::DemiBold));
    header->row()->addWidget(title);
    header->row()->addStretch();
    m_done = new QPushButton(QStringLiteral("Done"), header);
    m_done->setAccessibleName(m_done->text());
    m_done->setDefault(true);
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    header->row()->addWidget(m_done);
    column->addWidget(header);
    column->addWidget(new Divider(this));

    auto *form = new QWidget;
    auto *sections = new QVBoxLayout(form);
    sections->addWidget(buildBinarySection());
    sections->addWidget(buildStorageSection());
    sections->addWidget(buildDatabaseSection());
    sections->addWidget(buildBackupSection());
    sections->addWidget(buildInformationSection());
    sections->addStretch();
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(form);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab goes through the controls, and the form scrolls to each: a stop on the form itself
    // would have nothing to say.
    scroll->setFocusPolicy(Qt::NoFocus);
    column->addWidget(scroll, 1);

    connect(m_binaryManager, &BinaryManager::changed, this, &SettingsView::refresh);
    connect(m_settings, &AppSettings::changed, this, &SettingsView::refresh);
    connect(m_importExportManager, &ImportExportManager::lastErrorChanged, this, &SettingsView::refresh);
    connect(m_importExportManager, &ImportExportManager::exported, this, [this](const QString &path, int instances) {
        if (!m_exporting)
            return;
        m_prompter->alert(this, QStringLiteral("Export Successful"),
                          QStringLiteral("Saved %1 instance(s) and the settings to:\n%2")
                              .arg(instances)
                              .arg(QDir::toNativeSeparators(path)));
    });
    refresh();
}

QUrl SettingsView::documentationUrl()
{
    return QUrl(QStringLiteral("https://docs.halvex.dev"));
}

QWidget *SettingsView::buildBinarySection()
{
    QGroupBox *box = section(QStringLiteral("Halvex Binary"), 12, this);

    m_installed = new QWidget(box);
    auto *installedRow = new QHBoxLayout(m_installed);
    installedRow->setContentsMargins(0, 0, 0, 0);
    auto *installedLines = new QVBoxLayout;
    installedLines->addWidget(headline(QStringLiteral("Binary Installed"), m_installed));
    m_installedPath = caption(QString(), m_installed);
    installedLines->addWidget(m_installedPath);
    installedRow->addLayout(installedLines, 1);
    installedRow->addWidget(symbol(QStringLiteral("checkmark.circle.fill"), SystemColors::green(), m_installed));
    m_changeBinary = button(QStringLiteral("Change…"), m_installed);
    m_changeBinary->setAccessibleName(QStringLiteral("Change Binary"));
    m_changeBinaryMenu = new QMenu(m_changeBinary);
    m_changeBinaryMenu->addAction(QStringLiteral("Select Another Binary…"), this,
                                  [this] { m_binaryManager->selectBinary({}); });
    m_changeBinaryMenu->addAction(QStringLiteral("Download Again"), m_binaryManager, &BinaryManager::downloadBinary);
    m_changeBinary->setMenu(m_changeBinaryMenu);
    installedRow->addWidget(m_changeBinary);
    columnOf(box)->addWidget(m_installed);

    m_missing = new QWidget(box);
    auto *missing = new QVBoxLayout(m_missing);
    missing->setContentsMargins(0, 0, 0, 0);
    missing->setSpacing(8);
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(headline(QStringLiteral("Halvex Binary"), m_missing));
    titleRow->addStretch();
    titleRow->addWidget(symbol(QStringLiteral("exclamationmark.triangle.fill"), SystemColors::orange(), m_missing));
    missing->addLayout(titleRow);
    m_configuredPath = caption(QString(), m_missing);
    missing->addWidget(m_configuredPath);
    m_pathWarning = errorCaption(m_missing);
    missing->addWidget(m_pathWarning);
    // The release offered for download is the build for the platform the application runs on.
    m_explanation =
        caption(QStringLiteral("Download the pre-built binary for Linux or select an existing binary file"), m_missing);
    missing->addWidget(m_explanation);
    auto *buttons = new QHBoxLayout;
    m_download = button(QStringLiteral("Download Binary"), m_missing);
    m_select = button(QStringLiteral("Select Binary"), m_missing);
    connect(m_download, &QPushButton::clicked, m_binaryManager, &BinaryManager::downloadBinary);
    connect(m_select, &QPushButton::clicked, this, [this] { m_binaryManager->selectBinary({}); });
    buttons->addWidget(m_download);
    buttons->addWidget(m_select);
    buttons->addStretch();
    missing->addLayout(buttons);
    columnOf(box)->addWidget(m_missing);

    // Below either form: a download or a selection may also be started through "Change…".
    m_progress = new QWidget(box);
    auto *progress = new QVBoxLayout(m_progress);
    progress->setContentsMargins(0, 0, 0, 0);
    progress->setSpacing(4);
    QLabel *downloading = caption(QStringLiteral("Downloading..."), m_progress);
    progress->addWidget(downloading);
    m_progressBar = new QProgressBar(m_progress);
    m_progressBar->setRange(0, 1000);
    m_progressBar->setTextVisible(false);
    m_progressBar->setAccessibleName(downloading->text());
    progress->addWidget(m_progressBar);
    columnOf(box)->addWidget(m_progress);

    m_downloadError = errorCaption(box);
    columnOf(box)->addWidget(m_downloadError);
    return box;
}

QWidget *SettingsView::buildStorageSection()
{
    QGroupBox *box = section(QStringLiteral("Storage"), 8, this);
    auto *row = new QHBoxLayout;
    auto *lines = new QVBoxLayout;
    lines->addWidget(headline(QStringLiteral("Data Storage Location"), box));
    m_storagePath = caption(QString(), box);
    lines->addWidget(m_storagePath);
    row->addLayout(lines, 1);
    m_changeLocation = button(QStringLiteral("Change"), box);
    m_changeLocation->setAccessibleName(QStringLiteral("Change Data Storage Location"));
    connect(m_changeLocation, &QPushButton::clicked, this, &SettingsView::changeStorageLocation);
    row->addWidget(m_changeLocation);
    columnOf(box)->addLayout(row);
    columnOf(box)->addWidget(caption(
        QStringLiteral("All database instances will store their data in subdirectories of this location"), box));
    return box;
}

QWidget *SettingsView::buildDatabaseSection()
{
    QGroupBox *box = section(QStringLiteral("Database Configuration"), 8, this);
    auto *row = new QHBoxLayout;
    auto *lines = new QVBoxLayout;
    lines->addWidget(headline(QStringLiteral("Timezone"), box));
    lines->addWidget(caption(QStringLiteral("Sets HALVEX_TZ for all instances"), box));
    row->addLayout(lines, 1);
    m_timezone = new QLineEdit(box);
    m_timezone->setPlaceholderText(QStringLiteral("Timezone"));
    m_timezone->setAccessibleName(m_timezone->placeholderText());
    m_timezone->setFixedWidth(timezoneFieldWidth);
    connect(m_timezone, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_settings->setTimezone(text);
        m_settings->save();
    });
    row->addWidget(m_timezone);
    columnOf(box)->addLayout(row);
    columnOf(box)->addWidget(caption(QStringLiteral("Example: Europe/Vienna, America/New_York, UTC"), box));
    return box;
}

QWidget *SettingsView::buildBackupSection()
{
    QGroupBox *box = section(QStringLiteral("Import/Export"), 12, this);
    auto *lines = new QVBoxLayout;
    lines->setSpacing(4);
    lines->addWidget(headline(QStringLiteral("Backup and Restore"), box));
    lines->addWidget(caption(QStringLiteral("Export or import your instances and settings"), box));
    columnOf(box)->addLayout(lines);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    m_export = button(QStringLiteral("Export Configuration"), box);
    m_import = button(QStringLiteral("Import Configuration"), box);
    connect(m_export, &QPushButton::clicked, this, &SettingsView::exportConfiguration);
    connect(m_import, &QPushButton::clicked, this, &SettingsView::importConfiguration);
    buttons->addWidget(m_export);
    buttons->addWidget(m_import);
    buttons->addStretch();
    columnOf(box)->addLayout(buttons);

    m_lastError = errorCaption(box);
    columnOf(box)->addWidget(m_lastError);
    return box;
}

QWidget *SettingsView::buildInformationSection()
{
    QGroupBox *box = section(QStringLiteral("Information"), 8, this);
    auto *row = new QHBoxLayout;
    row->addWidget(textLabel(QStringLiteral("Version"), box));
    row->addStretch();
    auto *version = textLabel(QStringLiteral(HALVEX_KELVANE_VERSION), box);
    version->setAccessibleName(QStringLiteral("Version"));
    row->addWidget(version);
    columnOf(box)->addLayout(row);

    m_documentation = new QLabel(box);
    m_documentation->setTextFormat(Qt::RichText);
    m_documentation->setText(
        QStringLiteral("<a href=\"%1\">Halvex Documentation</a>").arg(documentationUrl().toString(QUrl::FullyEncoded)));
    m_documentation->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_documentation->setOpenExternalLinks(true);
    m_documentation->setAccessibleName(QStringLiteral("Halvex Documentation"));
    auto *links = new QHBoxLayout;
    links->addWidget(m_documentation);
    links->addStretch();
    m_about = button(QStringLiteral("About Halvex Kelvane"), box);
    connect(m_about, &QPushButton::clicked, this, [this] {
        auto *about = new AboutView(m_settings, this);
        about->setAttribute(Qt::WA_DeleteOnClose);
        about->open();
    });
    links->addWidget(m_about);
    columnOf(box)->addLayout(links);
    m_informationSection = box;
    return box;
}

void SettingsView::offerDesktopOptions(Preferences *preferences, LoginAutostart *loginAutostart)
{
    QGroupBox *box = section(QStringLiteral("Desktop"), 8, this);
    m_keepRunning = new QCheckBox(QStringLiteral("Keep running in the background when the window is closed"), box);
    m_keepRunning->setChecked(preferences->keepsRunningInBackground());
    connect(m_keepRunning, &QCheckBox::toggled, this,
            [preferences](bool keep) { preferences->setKeepsRunningInBackground(keep); });
    columnOf(box)->addWidget(m_keepRunning);
    columnOf(box)->addWidget(caption(QStringLiteral("The servers keep running. The tray icon opens the window again; "
                                                    "without a tray, run \"halvex-kelvane show\"."),
                                     box));

    m_startAtLogin = new QCheckBox(QStringLiteral("Start Halvex Kelvane at login"), box);
    m_startAtLogin->setChecked(loginAutostart->isEnabled());
    connect(m_startAtLogin, &QCheckBox::toggled, this, [this, loginAutostart](bool start) {
        QString error;
        if (loginAutostart->setEnabled(start, &error))
            return;
        const QSignalBlocker keep(m_startAtLogin);
        m_startAtLogin->setChecked(loginAutostart->isEnabled());
        m_prompter->alert(this, QStringLiteral("Error"), error);
    });
    columnOf(box)->addWidget(m_startAtLogin);
    columnOf(box)->addWidget(caption(QStringLiteral("Starts in the background, without a window."), box));

    auto *sections = static_cast<QVBoxLayout *>(m_informationSection->parentWidget()->layout());
    sections->insertWidget(sections->indexOf(m_informationSection), box);
}

QStringList SettingsView::binarySectionTexts() const
{
    QStringList texts;
    if (m_installed->isVisibleTo(this)) {
        texts << QStringLiteral("Binary Installed") << m_installedPath->text();
    } else {
        texts << QStringLiteral("Halvex Binary");
        for (const QLabel *line : {m_configuredPath, m_pathWarning, m_explanation})
            if (line->isVisibleTo(this))
                texts << line->text();
    }
    if (m_progress->isVisibleTo(this))
        texts << QStringLiteral("Downloading...");
    if (m_downloadError->isVisibleTo(this))
        texts << m_downloadError->text();
    return texts;
}

void SettingsView::refresh()
{
    const bool available = m_binaryManager->isBinaryAvailable();
    const QUrl binaryPath = m_settings->binaryPath();
    m_installed->setVisible(available);
    m_missing->setVisible(!available);
    m_installedPath->setText(localPath(binaryPath));
    if (binaryPath.isEmpty()) {
        m_configuredPath->setText(QStringLiteral("No binary configured"));
        m_pathWarning->clear();
    } else {
        const QFileInfo file(localPath(binaryPath));
        m_configuredPath->setText(QStringLiteral("Configured path: ") + localPath(binaryPath));
        if (!file.exists())
            m_pathWarning->setText(QStringLiteral("⚠️ Binary file does not exist at this location"));
        else if (!file.isExecutable())
            m_pathWarning->setText(QStringLiteral("⚠️ Binary file is not executable"));
        else
            m_pathWarning->clear();
    }
    m_pathWarning->setVisible(!m_pathWarning->text().isEmpty());

    const bool downloading = m_binaryManager->isDownloading();
    m_download->setEnabled(!downloading);
    m_changeBinary->setEnabled(!downloading);
    m_progress->setVisible(downloading);
    m_progressBar->setValue(qRound(qBound(0.0, m_binaryManager->downloadProgress(), 1.0) * 1000));
    m_downloadError->setText(m_binaryManager->downloadError());
    m_downloadError->setVisible(!m_downloadError->text().isEmpty());

    m_storagePath->setText(localPath(m_settings->dataStorageLocation()));
    if (m_timezone->text() != m_settings->timezone())
        m_timezone->setText(m_settings->timezone());

    m_lastError->setText(m_importExportManager->lastError());
    m_lastError->setVisible(!m_lastError->text().isEmpty());
}

void SettingsView::changeStorageLocation()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenDirectory;
    request.title = QStringLiteral("Data Storage Location");
    request.message = QStringLiteral("Select data storage location");
    request.directory = localPath(m_settings->dataStorageLocation());
    m_fileChooser->choose(request, this, [this](const QString &path) {
        if (path.isEmpty())
            return;
        const QUrl location = QUrl::fromLocalFile(path);
        if (!StorageLocation::isValid(location)) {
            m_prompter->alert(this, QStringLiteral("Error"), StorageLocation::requirement() + u'.');
            return;
        }
        m_settings->setDataStorageLocation(location);
        m_settings->save();
    });
}

void SettingsView::exportConfiguration()
{
    // The manager says where it wrote just before it calls back.
    const QPointer<SettingsView> view(this);
    m_exporting = true;
    m_importExportManager->exportConfiguration([view](bool) {
        if (view)
            view->m_exporting = false;
    });
}

void SettingsView::importConfiguration()
{
    // The chooser outlives a sheet closed meanwhile.
    const QPointer<SettingsView> view(this);
    m_importExportManager->importConfiguration([view](bool success, int imported, int skipped) {
        if (!success || !view)
            return;
        view->showImportSuccess(imported, skipped);
    });
}

void SettingsView::showImportSuccess(int imported, int skipped)
{
    m_importMessage = ImportExportManager::importSummary(imported, skipped);
    m_prompter->alert(this, QStringLiteral("Import Successful"), m_importMessage);
}
