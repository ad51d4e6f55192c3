// SPDX-License-Identifier: MIT
#include "ContentView.h"

#include "AboutView.h"
#include "MainView.h"
#include "core/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>

ContentView::ContentView(ViewContext context, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(context.settings)
    , m_preferences(context.preferences)
    , m_mainView(new MainView(std::move(context), this))
{
    setWindowTitle(QStringLiteral("Halvex Kelvane"));
    setCentralWidget(m_mainView);
    resize(1000, 680);
    // The window's one command is quitting (Ctrl+Q); nothing opens a second window. A menu bar for
    // that single command would cost a noticeable part of the start-up.
    QAction *quit = addAction(QStringLiteral("&Quit"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence::Quit);
}

AboutView *ContentView::aboutView() const
{
    return m_about;
}

void ContentView::present()
{
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void ContentView::showAbout()
{
    if (!m_about) {
        // A window of its own that goes with this one, so that closing it never counts as closing
        // the application's last window.
        m_about = new AboutView(m_settings, this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void ContentView::closeEvent(QCloseEvent *event)
{
    // Only a close that the window system delivers is the user's: quitting closes every window
    // from within first, and must go on as usual.
    if (!event->spontaneous() || !m_preferences || !m_preferences->keepsRunningInBackground()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    hide();
    emit closedToBackground();
}
