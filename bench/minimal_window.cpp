// SPDX-License-Identifier: MIT
// The baseline for start-up and memory: the smallest Qt Widgets program that shows one window.
#include "FirstPaint.h"

#include <QApplication>
#include <QLabel>

Q_COREAPP_STARTUP_FUNCTION(installFirstPaint)

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Halvex Kelvane"));
    window.resize(1000, 680);
    window.show();
    return QApplication::exec();
}
