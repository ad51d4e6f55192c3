// SPDX-License-Identifier: MIT
#pragma once

#include "instances/RegistryReading.h"

#include <memory>
#include <optional>

class QString;

class AppDelegate;
class AppSettings;
class BackgroundNotice;
class BinaryManager;
class ContentView;
class DesktopUrlOpener;
class DialogFileChooser;
class DialogPrompter;
class ImportExportManager;
class InstanceManager;
class LocalHostNames;
class LoginAutostart;
class Preferences;
class PrivilegedCommandRunner;
class TrayIcon;

// The composition root: the application's identity, every object it is made of, built once and
// wired together here, the quit hook and the one main window. main() runs it, and so do the tests
// and the start-up benchmark, so all of them start the application the same way.
class ApplicationShell
{
public:
    // A QApplication must exist. The registry is read when the instances are made, unless the
    // caller started reading it ahead.
    explicit ApplicationShell(std::optional<RegistryReading> registry = std::nullopt);
    ~ApplicationShell();

    ContentView *window() const { return m_window.get(); }
    AppSettings *settings() const { return m_settings; }
    InstanceManager *instances() const { return m_instances; }
    BinaryManager *binary() const { return m_binary; }
    ImportExportManager *importExport() const { return m_importExport; }
    Preferences *preferences() const { return m_preferences.get(); }
    // Null where the desktop can show no tray icon.
    TrayIcon *tray() const { return m_tray.get(); }

    // An installed application brings its own server. When no server is configured once the
    // stored settings have arrived, the one installed with the program in applicationDir is
    // configured and saved, as a selection would be, so that the first start needs no download;
    // a configured server is never replaced, and a build tree changes nothing.
    static void adoptBundledServer(AppSettings *settings, const QString &applicationDir);

private:
    // Built once and never destroyed: destroying the privileged runner would kill the host-name
    // change started at quit, and the objects that use it must outlive it. The process exit
    // reclaims them; the servers, spawned on their own, keep running either way.
    AppSettings *m_settings;
    PrivilegedCommandRunner *m_privilegedRunner;
    LocalHostNames *m_hostNames;
    InstanceManager *m_instances;
    DialogFileChooser *m_fileChooser;
    DialogPrompter *m_prompter;
    DesktopUrlOpener *m_urlOpener;
    BinaryManager *m_binary;
    ImportExportManager *m_importExport;

    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<LoginAutostart> m_loginAutostart;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<ContentView> m_window;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<BackgroundNotice> m_backgroundNotice;
};
