#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvex Kelvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));

    InstanceManager::shared();
    AppSettings::shared();
    std::printf("Halvex Kelvane core started with %lld instance(s); the main window is not built yet.\n",
                static_cast<long long>(InstanceManager::shared()->instances().size()));
    return 0;
}
