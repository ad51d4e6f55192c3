// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class Preferences;
class Prompter;
class QWidget;
class TrayIcon;

// Says, the first time the window closes into the background, where the application went and how
// to get it back: in a message from the tray icon, or, where no tray shows one, in an alert that
// names the command line's "show", since nothing else would bring the window back.
class BackgroundNotice
{
public:
    // Without a tray icon, tray is null.
    BackgroundNotice(Preferences *preferences, Prompter *prompter, TrayIcon *tray);

    void windowClosed(QWidget *window);

    static QString title();
    static QString trayMessage();
    static QString alertMessage();

private:
    Preferences *m_preferences;
    Prompter *m_prompter;
    TrayIcon *m_tray;
};
