// SPDX-License-Identifier: MIT
#include "Launcher.h"

#include "ApplicationShell.h"
#include "CommandClient.h"
#include "CommandHandler.h"
#include "CommandLine.h"
#include "CommandServer.h"
#include "QuitSignals.h"
#include "SingleInstance.h"
#include "core/AppPaths.h"
#include "instances/InstanceManager.h"
#include "views/ContentView.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(qUtf8Printable(text + u'\n'), stream);
}

int runClient(int &argc, char **argv, const QJsonObject &request, bool mayStartApplication)
{
    QCoreApplication app(argc, argv);
    CommandClient client(SingleInstance::socketPath(), request, mayStartApplication);
    QObject::connect(&client, &CommandClient::finished, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &client, &CommandClient::start);
    return QCoreApplication::exec();
}

// Calls then once, at the first of: sender's signal when ready() says so, or the time-out.
template<typename Sender, typename Signal>
void onceFirstOf(Sender *sender, Signal signal, std::function<bool()> ready, std::chrono::milliseconds timeout,
                 std::function<void()> then)
{
    auto *waiting = new QObject(sender);
    auto done = [waiting, then = std::move(then), fired = std::make_shared<bool>(false)] {
        if (std::exchange(*fired, true))
            return;
        waiting->deleteLater();
        then();
    };
    QObject::connect(sender, signal, waiting, [ready = std::move(ready), done] {
        if (ready())
            done();
    });
    QTimer::singleShot(timeout, waiting, done);
}

// Servers found still running from an earlier session are Starting until their port has been seen
// to accept, which takes a turn or two of the event loop. The channel opens once that is done (or
// a while has passed), so that its first answers do not call a running server "starting".
void whenAdoptedServersSettled(InstanceManager *instances, std::function<void()> then)
{
    const auto settled = [instances] {
        const QList<HalvexInstance> &all = instances->instances();
        return std::none_of(all.cbegin(), all.cend(), [instances](const HalvexInstance &instance) {
            return instances->runState(instance.id) == InstanceManager::RunState::Starting;
        });
    };
    if (settled())
        return then();
    onceFirstOf(instances, &InstanceManager::runStateChanged, settled, std::chrono::seconds(2), std::move(then));
}

int runApplication(int &argc, char **argv, bool background)
{
    // On another core while this one reaches the window system.
    RegistryReading registry = RegistryReading::ahead(AppPaths::standard().registryFile());
    QApplication app(argc, argv);
    // Before anything starts a server: from here on, these signals quit in order.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &app, [](int signalNumber) {
        print(stdout, QStringLiteral("Received SIG%1, quitting").arg(QLatin1StringView(::sigabbrev_np(signalNumber))));
        QCoreApplication::quit();
    });

    ApplicationShell shell(std::move(registry));
    CommandHandler handler(shell.instances(), shell.importExport(), shell.window());
    CommandServer server(&handler);
    const auto openChannel = [&shell, &server] {
        whenAdoptedServersSettled(shell.instances(), [&server] {
            QString error;
            if (!server.listen(SingleInstance::socketPath(), &error))
                print(stderr,
                      QStringLiteral("halvex-kelvane: the command line cannot reach this application: ") + error);
        });
    };
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &server, &CommandServer::close);

    if (background) {
        shell.instances()->prepareLaunches();
        shell.instances()->prepareSaves();
        openChannel();
    } else {
        // The channel loads the network module, which the window's first frame does not need: it
        // opens once that frame is on the screen (or after a second, for a window not drawn). A
        // command sent meanwhile waits, as the command line waits for any application to answer.
        onceFirstOf(
            shell.window(), &ContentView::firstPainted, [] { return true; }, std::chrono::seconds(1), openChannel);
        shell.window()->show();
    }
    return QApplication::exec();
}

} // namespace

int Launcher::run(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine(arguments);

    switch (commandLine.action()) {
    case CommandLine::Action::RunApplication:
        break;
    case CommandLine::Action::SendCommand:
        return runClient(argc, argv, commandLine.request(), true);
    case CommandLine::Action::ShowHelp: {
        QCoreApplication app(argc, argv);
        std::fputs(qUtf8Printable(commandLine.helpText()), stdout);
        return 0;
    }
    case CommandLine::Action::ShowVersion:
        print(stdout, CommandLine::versionText());
        return 0;
    case CommandLine::Action::UsageError:
        print(stderr, QStringLiteral("halvex-kelvane: ") + commandLine.error());
        print(stderr, CommandLine::usageLine());
        return 2;
    }

    // Held for the application's whole life; released when it returns.
    SingleInstance single(AppPaths::standard().directory());
    switch (single.acquire()) {
    case SingleInstance::Outcome::Acquired:
        return runApplication(argc, argv, commandLine.background());
    case SingleInstance::Outcome::Failed:
        print(stderr, QStringLiteral("halvex-kelvane: ") + single.error());
        return 1;
    case SingleInstance::Outcome::HeldByAnother:
        break;
    }
    // A second launch: the running application shows its window (unless this one was only to
    // make sure an application runs), and this one leaves.
    if (commandLine.background())
        return 0;
    return runClient(argc, argv, QJsonObject{{QStringLiteral("command"), QStringLiteral("show")}}, false);
}
