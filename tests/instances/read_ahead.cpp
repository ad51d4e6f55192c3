// SPDX-License-Identifier: MIT
#include "instances/RegistryReading.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
bool warned = false;
}

// Starts as the application does: reads the registry given ahead of the application object, which
// is made only once the reading is done. Prints how many records it read; fails on any warning.
int main(int argc, char *argv[])
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        warned = warned || type != QtDebugMsg;
        std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    RegistryReading reading = RegistryReading::ahead(QString::fromLocal8Bit(argv[1]));
    const std::optional<RegistryContents> contents = reading.take();
    QCoreApplication application(argc, argv);
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    QCoreApplication::exec();
    std::printf("%lld\n",
                contents && contents->decoded ? static_cast<long long>(contents->decoded->records.size()) : -1LL);
    return warned ? 1 : 0;
}
