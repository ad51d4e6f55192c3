// SPDX-License-Identifier: MIT
#include "ContentView.h"

#include "AboutView.h"
#include "MainView.h"
#include "core/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

const QString geometryKey = QStringLiteral("main");
// The size the window opens at the first time, where the screen has room for it.
constexpr QSize preferredSize(1000, 680);

} // namespace

ContentView::ContentView(ViewContext context, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(context.settings)
    , m_preferences(context.preferences)
    , m_mainView(new MainView(std::move(context), this))
{
    setWindowTitle(QStringLiteral("Halvex Kelvane"));
    setCentralWidget(m_mainView);
    restoreWindowGeometry();
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

bool ContentView::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    // Announced a turn later, when the whole frame (the children paint after the window) is on
    // the screen.
    if (event->type() == QEvent::Paint && !std::exchange(m_painted, true))
        QTimer::singleShot(0, this, &ContentView::firstPainted);
    return handled;
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

ContentView::~ContentView()
{
    // A window destroyed while shown (at quit, the window is gone before it was hidden).
    if (isVisible())
        saveWindowGeometry();
}

void ContentView::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    saveWindowGeometry();
}

void ContentView::restoreWindowGeometry()
{
    if (!restoreGeometry(m_preferences->windowState(geometryKey))) {
        // The first start: centred on the screen, so that the window manager need not guess and the
        // sheets that open at once find the window where it will stay.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QRect frame(QPoint(), preferredSize);
        frame.moveCenter(screen.center());
        setGeometry(frame);
    }
    keepWithinScreen();
}

void ContentView::keepWithinScreen()
{
    // At a large scale factor the logical screen is small: never larger than it, nor than the
    // room the window's contents need, and with the window manager's title bar on the screen too.
    const QRect screen = (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    if (frame.isNull()) {
        // Not known before the window manager has framed the window: room for a usual one.
        const int border = fontMetrics().height() / 4;
        frame = QMargins(border, fontMetrics().height() * 2, border, border);
    }
    const QRect room = screen.marginsRemoved(frame);
    const QSize size = this->size().boundedTo(room.size()).expandedTo(minimumSizeHint());
    QRect client(geometry().topLeft(), size);
    client.moveLeft(qBound(room.left(), client.left(), qMax(room.left(), room.right() + 1 - size.width())));
    client.moveTop(qBound(room.top(), client.top(), qMax(room.top(), room.bottom() + 1 - size.height())));
    setGeometry(client);
}

void ContentView::saveWindowGeometry()
{
    m_preferences->setWindowState(geometryKey, saveGeometry());
}
