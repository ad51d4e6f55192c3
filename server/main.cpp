// SPDX-License-Identifier: MIT
#include "ConsoleOutput.h"
#include "HalvexApi.h"
#include "HalvexServer.h"
#include "KeyValueStore.h"
#include "ServerConfig.h"
#include "TerminationSignal.h"
#include "core/Version.h"

#include <QProcessEnvironment>

#include <csignal>
#include <cstdlib>

namespace {
// Exit codes: a setting the user must fix, and a failure while starting.
constexpr int InvalidConfiguration = 2;
constexpr int StartFailed = 1;
// How long requests under way may take to finish after a stop signal; short enough to stop within a second.
constexpr auto GracePeriod = std::chrono::milliseconds(800);
} // namespace

int main(int argc, char **)
{
    const TerminationSignal termination;
    // A reader that went away, of the output or of an answer, must not kill the server in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);

    if (argc > 1) {
        ConsoleOutput::error(QStringLiteral("takes no arguments; it is configured through HALVEX_AUTH_TOKEN, "
                                            "HALVEX_DATA_DIR, HALVEX_PORT and HALVEX_TZ"));
        return InvalidConfiguration;
    }
    QString error;
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
    const HalvexApi api(config->authToken(), config->timeZone().id(), store);
    HalvexServer server(api);
    if (!server.listen(config->port(), &error)) {
        ConsoleOutput::error(error);
        return StartFailed;
    }
    server.start();

    ConsoleOutput::line(QStringLiteral("Halvex server %1").arg(QStringLiteral(HALVEX_KELVANE_VERSION)));
    ConsoleOutput::line(QStringLiteral("Data directory: %1").arg(config->dataDirectory()));
    ConsoleOutput::line(QStringLiteral("Time zone: %1").arg(QString::fromUtf8(config->timeZone().id())));
    ConsoleOutput::line(QStringLiteral("Listening on http://127.0.0.1:%1").arg(config->port()));

    const int signalNumber = termination.wait();
    ConsoleOutput::line(
        QStringLiteral("Received %1, finishing open requests").arg(TerminationSignal::name(signalNumber)));
    const bool finished = server.stop(GracePeriod);
    store.close();
    ConsoleOutput::line(QStringLiteral("Server stopped"));
    // Threads still wait on clients that never completed their requests, inside the server: leave without
    // destroying it.
    if (!finished)
        std::_Exit(0);
    return 0;
}
