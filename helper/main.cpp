// SPDX-License-Identifier: MIT
#include "HostsHelper.h"

// halvex-kelvane-hosts: run as root through pkexec, it adds and removes the host-name lines of
// Halvex instances, and nothing else, in the system's hosts file.
int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return HostsHelper::run(arguments, QStringLiteral("/etc/hosts"));
}
