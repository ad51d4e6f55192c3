// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class AppSettings;
class BinaryManager;
class FileChooser;
class ImportExportManager;
class LoginAutostart;
class Preferences;
class Prompter;
class ProminentButton;
class QLabel;
class QCheckBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

// The settings sheet: the server executable (download or pick one), the storage location, the
// time zone handed to every server, export and import of the configuration, and the version.
class SettingsView final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int sheetWidth = 600;
    static constexpr int sheetHeight = 500;
    static constexpr int timezoneFieldWidth = 200;

    SettingsView(AppSettings *settings, BinaryManager *binaryManager, ImportExportManager *importExportManager,
                 FileChooser *fileChooser, Prompter *prompter, QWidget *parent = nullptr);

    static QUrl documentationUrl();

    // The visible lines of the binary section, top to bottom.
    QStringList binarySectionTexts() const;
    QPushButton *doneButton() const { return m_done; }
    QPushButton *downloadButton() const { return m_download; }
    QPushButton *selectButton() const { return m_select; }
    // "Change…" of a configured executable, and its menu: select another one, or download again.
    QPushButton *changeBinaryButton() const { return m_changeBinary; }
    QMenu *changeBinaryMenu() const { return m_changeBinaryMenu; }
    QPushButton *changeLocationButton() const { return m_changeLocation; }
    QPushButton *exportButton() const { return m_export; }
    QPushButton *importButton() const { return m_import; }
    QProgressBar *progressBar() const { return m_progressBar; }
    QLineEdit *timezoneField() const { return m_timezone; }
    QLabel *storagePathLabel() const { return m_storagePath; }
    QLabel *lastErrorLabel() const { return m_lastError; }
    QLabel *documentationLink() const { return m_documentation; }
    QString importMessage() const { return m_importMessage; }

    // The desktop's side, offered where the application has it: keeping the application running
    // when its window closes, and starting it at login. Adds the "Desktop" section.
    void offerDesktopOptions(Preferences *preferences, LoginAutostart *loginAutostart);
    QCheckBox *keepRunningCheckBox() const { return m_keepRunning; }
    QCheckBox *startAtLoginCheckBox() const { return m_startAtLogin; }
    QPushButton *aboutButton() const { return m_about; }

private:
    QWidget *buildBinarySection();
    QWidget *buildStorageSection();
    QWidget *buildDatabaseSection();
    QWidget *buildBackupSection();
    QWidget *buildInformationSection();
    void refresh();
    void changeStorageLocation();
    void exportConfiguration();
    void importConfiguration();
    void showImportSuccess(int imported, int skipped);

    AppSettings *m_settings;
    BinaryManager *m_binaryManager;
    ImportExportManager *m_importExportManager;
    FileChooser *m_fileChooser;
    Prompter *m_prompter;
    QString m_importMessage;
    // An export started here is under way: its outcome is confirmed here.
    bool m_exporting = false;

    QPushButton *m_done = nullptr;
    QWidget *m_installed = nullptr;
    QLabel *m_installedPath = nullptr;
    QPushButton *m_changeBinary = nullptr;
    QMenu *m_changeBinaryMenu = nullptr;
    QWidget *m_missing = nullptr;
    QLabel *m_configuredPath = nullptr;
    QLabel *m_pathWarning = nullptr;
    QLabel *m_explanation = nullptr;
    QPushButton *m_download = nullptr;
    QPushButton *m_select = nullptr;
    QWidget *m_progress = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_downloadError = nullptr;
    QLabel *m_storagePath = nullptr;
    QPushButton *m_changeLocation = nullptr;
    QLineEdit *m_timezone = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_import = nullptr;
    QLabel *m_lastError = nullptr;
    QLabel *m_documentation = nullptr;

    QWidget *m_informationSection = nullptr;
    QPushButton *m_about = nullptr;
    QCheckBox *m_keepRunning = nullptr;
    QCheckBox *m_startAtLogin = nullptr;
};
