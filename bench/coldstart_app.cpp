// SPDX-License-Identifier: MIT
// The application exactly as main() starts it, reporting its main window's first paint.
#include "FirstPaint.h"
#include "app/ApplicationShell.h"
#include "views/ContentView.h"

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ApplicationShell shell;
    FirstPaint probe(shell.window(), argc > 1 && std::strcmp(argv[1], "--stay") == 0);
    shell.window()->show();
    return QApplication::exec();
}
