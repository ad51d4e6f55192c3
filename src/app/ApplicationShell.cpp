// SPDX-License-Identifier: MIT
#include "ApplicationShell.h"

#include "AppDelegate.h"
#include "BackgroundNotice.h"
#include "TrayIcon.h"
#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/Preferences.h"
#include "core/Version.h"
#include "instances/InstanceManager.h"
#include "instances/LocalHostNames.h"
#include "platform/LoginAutostart.h"
#include "platform/PrivilegedCommandRunner.h"
#include "views/AccessibleStyle.h"
#include "views/ContentView.h"
#include "views/DesktopUrlOpener.h"
#include "views/DialogFileChooser.h"
#include "views/DialogPrompter.h"
#include "views/Symbols.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <unistd.h>

// Outside any namespace: the resource initialiser it declares lives at global scope.
static void initApplicationResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

void configureApplication()
{
    initApplicationResources();
    QApplication::setApplicationName(QStringLiteral("Halvex Kelvane"));
    QApplication::setApplicationVersion(QStringLiteral(HALVEX_KELVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("halvex-kelvane"));
    QApplication::setWindowIcon(Symbols::picture(QStringLiteral(":/app/halvex-kelvane.svg")));
    QApplication::setQuitOnLastWindowClosed(true);
    QApplication::setStyle(new AccessibleStyle);
}

// pkexec asks the desktop for the password, unless this process already has administrator rights.
std::optional<QString> privilegeElevator()
{
    if (::geteuid() == 0)
        return std::nullopt;
    return QStringLiteral("/usr/bin/pkexec");
}

} // namespace

ApplicationShell::ApplicationShell(std::optional<RegistryReading> registry)
{
    configureApplication();
    const AppPaths paths = AppPaths::standard();
    m_settings = new AppSettings(paths);
    adoptBundledServer(m_settings, QCoreApplication::applicationDirPath());
    // Another hosts file (a test's, a system that keeps it elsewhere) is edited by the shell
    // commands: the installed helper edits /etc/hosts and nothing else.
    const QString hostsFile = qEnvironmentVariable("HALVEX_KELVANE_HOSTS_FILE", QStringLiteral("/etc/hosts"));
    const std::optional<QString> helper =
        hostsFile == QStringLiteral("/etc/hosts")
            ? PrivilegedCommandRunner::installedHelper(QStringLiteral(HALVEX_HOSTS_HELPER),
                                                       QStringLiteral(HALVEX_INSTALLED_BINDIR),
                                                       QCoreApplication::applicationDirPath())
            : std::nullopt;
    m_privilegedRunner = new PrivilegedCommandRunner(helper, privilegeElevator());
    m_hostNames = new LocalHostNames(hostsFile, m_privilegedRunner);
    m_instances = new InstanceManager(
        m_settings, registry ? std::move(*registry) : RegistryReading(paths.registryFile()), m_hostNames);
    // The manager has adopted the servers still running from an earlier session, which are not
    // started again. Queued behind the settings' first turn, which brings the configured server.
    QTimer::singleShot(0, m_instances, &InstanceManager::startMarkedInstances);
    m_fileChooser = new DialogFileChooser;
    m_prompter = new DialogPrompter;
    m_urlOpener = new DesktopUrlOpener;
    m_binary = new BinaryManager(m_settings, paths, m_fileChooser, QUrl(QStringLiteral("https://releases.halvex.dev")));
    m_importExport = new ImportExportManager(m_settings, m_instances, m_fileChooser);
    m_preferences = std::make_unique<Preferences>(Preferences::standardDirectory());
    m_loginAutostart = std::make_unique<LoginAutostart>(
        LoginAutostart::standardConfigHome(), LoginAutostart::commandFor(QCoreApplication::applicationFilePath()));
    m_delegate = std::make_unique<AppDelegate>(m_instances);
    // Connected after the delegate's quit hook, whose stops ask for their host names' removal:
    // slots run in the order connected, and after the quit hook the event loop turns no more.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_hostNames, &LocalHostNames::startWaitingNow);

    ViewContext context;
    context.settings = m_settings;
    context.instances = m_instances;
    context.binary = m_binary;
    context.importExport = m_importExport;
    context.fileChooser = m_fileChooser;
    context.prompter = m_prompter;
    context.preferences = m_preferences.get();
    context.loginAutostart = m_loginAutostart.get();
    context.urlOpener = m_urlOpener;
    m_window = std::make_unique<ContentView>(context);
    // Preparing the first launch and the first save takes a core for milliseconds, which the window
    // needs while it comes up.
    QObject::connect(m_window.get(), &ContentView::firstPainted, m_instances, &InstanceManager::prepareLaunches);
    QObject::connect(m_window.get(), &ContentView::firstPainted, m_instances, &InstanceManager::prepareSaves);

    if (TrayIcon::mayAppear()) {
        m_tray = std::make_unique<TrayIcon>(m_instances);
        QObject::connect(m_tray.get(), &TrayIcon::showWindowRequested, m_window.get(), &ContentView::present);
        QObject::connect(m_tray.get(), &TrayIcon::aboutRequested, m_window.get(), &ContentView::showAbout);
    }
    m_backgroundNotice = std::make_unique<BackgroundNotice>(m_preferences.get(), m_prompter, m_tray.get());
    QObject::connect(m_window.get(), &ContentView::closedToBackground, m_window.get(),
                     [notice = m_backgroundNotice.get(), window = m_window.get()] { notice->windowClosed(window); });
}

ApplicationShell::~ApplicationShell() = default;

void ApplicationShell::adoptBundledServer(AppSettings *settings, const QString &applicationDir)
{
    const auto server = AppPaths::bundledServer(applicationDir);
    if (!server)
        return;
    // Queued behind the settings' first turn, which applies the stored values, and ahead of the
    // main window's first-display check, which sends a user without a server to the settings.
    QTimer::singleShot(0, settings, [settings, path = *server] {
        if (!settings->binaryPath().isEmpty())
            return;
        settings->setBinaryPath(QUrl::fromLocalFile(path));
        settings->save();
    });
}
