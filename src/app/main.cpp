// SPDX-License-Identifier: MIT
#include "ApplicationShell.h"
#include "views/ContentView.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ApplicationShell shell;
    shell.window()->show();
    return QApplication::exec();
}
