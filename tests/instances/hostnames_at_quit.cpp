// SPDX-License-Identifier: MIT
#include "core/HalvexInstance.h"
#include "instances/LocalHostNames.h"
#include "platform/PrivilegedCommandRunner.h"

#include <QCoreApplication>
#include <QTimer>

// Quits the way the application does: the quit hook asks for the removal of each named line, the
// host names start what waits, and the program exits at once without waiting for the command.
// Arguments: the pkexec to use, the hosts file, the names.
int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString elevator = arguments.takeFirst();
    const QString hostsFile = arguments.takeFirst();
    // Never destroyed, as in the application.
    auto *runner = new PrivilegedCommandRunner(std::nullopt, elevator);
    auto *hostNames = new LocalHostNames(hostsFile, runner);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, hostNames, [&] {
        for (const QString &name : arguments)
            hostNames->update(HalvexInstance::create(name, QStringLiteral("token"), 8080), false, hostNames,
                              [](LocalHostNames::Outcome, const QString &) {});
    });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, hostNames, &LocalHostNames::startWaitingNow);
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
