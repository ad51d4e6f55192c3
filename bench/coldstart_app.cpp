// SPDX-License-Identifier: MIT
// The application exactly as main() starts it (the launcher, its single-instance lock and command
// socket, the composition root, the main window), reporting the main window's first paint.
#include "FirstPaint.h"
#include "app/Launcher.h"

Q_COREAPP_STARTUP_FUNCTION(installFirstPaint)

int main(int argc, char *argv[])
{
    return Launcher::run(argc, argv);
}
