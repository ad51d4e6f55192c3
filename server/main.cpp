// SPDX-License-Identifier: MIT
#include "ConsoleOutput.h"
#include "HalvexApi.h"
#include "HalvexServer.h"
#include "KeyValueStore.h"
#include "ServerConfig.h"
#include "TerminationSignal.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <csignal>

namespace {
// Exit codes: a setting the user must fix, and a failure while starting or running.
constexpr int InvalidConfiguration = 2;
constexpr int StartFailed = 1;
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // A reader that went away must not kill the server in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);

    QString error;
    TerminationSignal termination;
    if (!termination.install(&error)) {
        ConsoleOutput::error(error);
        return StartFailed;
    }

    if (argc > 1) {
        ConsoleOutput::error(QStringLiteral("takes no arguments; it is configured through HALVEX_AUTH_TOKEN, "
                                            "HALVEX_DATA_DIR, HALVEX_PORT and HALVEX_TZ"));
        return InvalidConfiguration;
    }
    const std::optional<ServerConfig> config =
        ServerConfig::fromEnvironment(QProcessEnvironment::systemEnvironment(), &error);
    if (!config) {
        ConsoleOutput::error(error);
        return InvalidConfiguration;
    }

    KeyValueStore store;
    if (!store.open(config->dataDirectory() + QStringLiteral("/halvex.db"), &error)) {
        ConsoleOutput::error(error);
        return StartFailed;
    }
    const HalvexApi api(config->authToken(), config->timeZone(), store);
    HalvexServer server(api);
    if (!server.listen(config->port(), &error)) {
        ConsoleOutput::error(error);
        return StartFailed;
    }

    QObject::connect(&termination, &TerminationSignal::received, &server, [&server](int signalNumber) {
        ConsoleOutput::line(
            QStringLiteral("Received %1, finishing open requests").arg(TerminationSignal::name(signalNumber)));
        server.shutDown();
    });
    QObject::connect(&server, &HalvexServer::stopped, &app, [&store] {
        store.close();
        ConsoleOutput::line(QStringLiteral("Server stopped"));
        QCoreApplication::quit();
    });

    ConsoleOutput::line(QStringLiteral("Halvex server %1").arg(QStringLiteral(HALVEX_VERSION)));
    ConsoleOutput::line(QStringLiteral("Data directory: %1").arg(config->dataDirectory()));
    ConsoleOutput::line(QStringLiteral("Time zone: %1").arg(QString::fromUtf8(config->timeZone().id())));
    ConsoleOutput::line(QStringLiteral("Listening on http://127.0.0.1:%1").arg(config->port()));
    return app.exec();
}
