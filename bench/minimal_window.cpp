// SPDX-License-Identifier: MIT
// The baseline for start-up and memory: the smallest Qt Widgets program that shows one window.
#include "FirstPaint.h"

#include <QLabel>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Halvex Kelvane"));
    window.resize(1000, 680);
    FirstPaint probe(&window, argc > 1 && std::strcmp(argv[1], "--stay") == 0);
    window.show();
    return QApplication::exec();
}
