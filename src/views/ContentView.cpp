#include "ContentView.h"

#include "MainView.h"

#include <QApplication>
#include <QMenuBar>

ContentView::ContentView(ViewContext context, QWidget *parent)
    : QMainWindow(parent)
    , m_mainView(new MainView(std::move(context), this))
{
    setWindowTitle(QStringLiteral("Halvex Kelvane"));
    setCentralWidget(m_mainView);
    resize(1000, 680);
    // The menu offers no way to open a second window; only quitting.
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction *quit = file->addAction(QStringLiteral("&Quit"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence::Quit);
}
