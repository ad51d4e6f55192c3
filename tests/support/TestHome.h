// SPDX-License-Identifier: MIT
#pragma once

#include "ScriptedFileChooser.h"
#include "TestSupport.h"

#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "instances/LocalHostNames.h"
#include "platform/PrivilegedCommandRunner.h"

#include <QTemporaryDir>

#include <memory>

// The application's objects over a home of the test's own: a state directory, a storage location,
// a hosts file, the settings and the managers, built as the application builds them, with a
// scripted file chooser. Servers the test leaves running are ended when it goes.
class TestHome
{
public:
    enum class HostNames { Off, InTestFile };

    explicit TestHome(HostNames hostNames = HostNames::Off);
    // Writes the settings file first, then builds what reads it, as at a start.
    explicit TestHome(const QByteArray &settingsFile);
    ~TestHome();
    Q_DISABLE_COPY_MOVE(TestHome)

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString storage() const { return path(QStringLiteral("data")); }
    // Holds "127.0.0.1 localhost" at first; with HostNames::InTestFile the manager edits it.
    QString hostsFile() const { return path(QStringLiteral("hosts")); }
    QByteArray hosts() const { return TestSupport::readFile(hostsFile()); }
    // The registry file once it holds the last save.
    QByteArray registry() const
    {
        instances->waitForSave();
        return TestSupport::readFile(m_paths.registryFile());
    }

    // The application dies: its objects go, its servers stay.
    void killApplication();
    // A new run of the application over the same files.
    void startApplication();

    // A file that the executable checks accept (or, not executable, refuse).
    static void writeExecutable(const QString &path, bool executable = true);
    // Such a file, configured.
    void configureExecutable(const QString &path, bool executable = true);
    void useExecutable(const QString &path) { settings->setBinaryPath(QUrl::fromLocalFile(path)); }
    HalvexInstance add(const QString &name, qint64 port = TestSupport::freePort(),
                       const QString &token = QStringLiteral("secret-token"));
    HalvexInstance current(const QUuid &id) const { return *instances->instance(id); }
    QStringList messages(const QUuid &id) const { return TestSupport::logMessages(instances->logs(id)); }
    bool logged(const QUuid &id, const QString &message) const { return messages(id).contains(message); }

    QTemporaryDir m_dir;
    AppPaths m_paths;
    ScriptedFileChooser chooser;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<InstanceManager> instances;
    std::unique_ptr<BinaryManager> binary;
    std::unique_ptr<ImportExportManager> importExport;

private:
    void endServers();

    HostNames m_hostNames;
    // Commands run directly: the hosts file is the test's own.
    PrivilegedCommandRunner m_runner{std::nullopt, std::nullopt};
    std::unique_ptr<LocalHostNames> m_hostsQueue;
};
