// SPDX-License-Identifier: MIT
#include "ContentView.h"

#include "MainView.h"

#include <QAction>
#include <QApplication>

ContentView::ContentView(ViewContext context, QWidget *parent)
    : QMainWindow(parent)
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
