// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class AppSettings;
class QLabel;
class QPlainTextEdit;

// What the application is and where it keeps things: its version, its licence with the licence's
// full text, the state directory and the server executable it runs.
class AboutView final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutView(AppSettings *settings, QWidget *parent = nullptr);

    QLabel *versionLabel() const { return m_version; }
    QLabel *stateDirectoryLabel() const { return m_stateDirectory; }
    QLabel *serverExecutableLabel() const { return m_serverExecutable; }
    QPlainTextEdit *licenseText() const { return m_license; }

private:
    void refresh();

    AppSettings *m_settings;
    QLabel *m_version = nullptr;
    QLabel *m_stateDirectory = nullptr;
    QLabel *m_serverExecutable = nullptr;
    QPlainTextEdit *m_license = nullptr;
};
