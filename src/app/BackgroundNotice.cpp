// SPDX-License-Identifier: MIT
#include "BackgroundNotice.h"

#include "TrayIcon.h"
#include "core/Preferences.h"
#include "views/Prompter.h"

BackgroundNotice::BackgroundNotice(Preferences *preferences, Prompter *prompter, TrayIcon *tray)
    : m_preferences(preferences)
    , m_prompter(prompter)
    , m_tray(tray)
{}

QString BackgroundNotice::title()
{
    return QStringLiteral("Halvex Kelvane is still running");
}

QString BackgroundNotice::trayMessage()
{
    return QStringLiteral("Its servers keep running. This icon opens the window again; Quit in its menu stops the "
                          "servers.");
}

QString BackgroundNotice::alertMessage()
{
    return QStringLiteral("Its servers keep running, and the desktop has no tray to show it in. Run "
                          "\"halvex-kelvane show\" to open the window again, or \"halvex-kelvane quit\" to stop the "
                          "servers and quit.");
}

void BackgroundNotice::windowClosed(QWidget *window)
{
    if (m_preferences->backgroundNoticeShown())
        return;
    if (!m_tray || !m_tray->showMessage(title(), trayMessage()))
        m_prompter->alert(window, title(), alertMessage());
    m_preferences->setBackgroundNoticeShown(true);
}
