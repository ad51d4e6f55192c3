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
    const QStringList arguments = QCoreApplication::arguments();
    // Never destroyed, as in the application.
    auto *hostNames = new LocalHostNames(arguments[2], new PrivilegedCommandRunner(std::nullopt, arguments[1]));
    QObject::connect(&application, &QCoreApplication::aboutToQuit, hostNames, [&] {
        for (const QString &name : arguments.mid(3))
            hostNames->update(HalvexInstance::create(name, QStringLiteral("token"), 8080), false, hostNames,
                              [](LocalHostNames::Outcome, const QString &) {});
    });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, hostNames, &LocalHostNames::startWaitingNow);
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
