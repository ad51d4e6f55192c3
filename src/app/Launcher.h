// SPDX-License-Identifier: MIT
#pragma once

// What main() runs. Decides from the arguments whether this process is to be the application, a
// second launch of it (which hands its request to the one running and leaves) or a command for
// the running one, and runs that. Only the application itself creates a QApplication and the
// managers of the state directory; the others need no display.
class Launcher
{
public:
    static int run(int argc, char *argv[]);
};
