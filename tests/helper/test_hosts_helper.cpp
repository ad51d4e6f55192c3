// SPDX-License-Identifier: MIT
#include "HostsHelper.h"

#include <QtGlobal>

// The helper as it is installed, except that it edits the file named by HALVEX_TEST_HOSTS_FILE:
// no test may touch the system's hosts file.
int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return HostsHelper::run(arguments, qEnvironmentVariable("HALVEX_TEST_HOSTS_FILE"));
}
