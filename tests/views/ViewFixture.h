// SPDX-License-Identifier: MIT
#pragma once

#include "RecordingUrlOpener.h"
#include "ScriptedPrompter.h"
#include "support/ScriptedFileChooser.h"

#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/Preferences.h"
#include "instances/InstanceManager.h"
#include "views/ViewContext.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

// Real managers over a temporary directory, with scripted choosers and prompts, as the views get
// them in the application. The release server address is never reached by these tests.
class ViewFixture
{
public:
    ViewFixture()
        : m_paths(m_dir.filePath(QStringLiteral("state")))
    {
        createSettings();
        settings->setDataStorageLocation(QUrl::fromLocalFile(storage()));
        createManagers();
    }

    // Writes a settings file first, then builds the managers that read it, as at a start.
    explicit ViewFixture(const QByteArray &settingsFile)
        : m_paths(m_dir.filePath(QStringLiteral("state")))
    {
        QFile file(m_paths.settingsFile());
        if (file.open(QIODevice::WriteOnly))
            file.write(settingsFile);
        file.close();
        createSettings();
        createManagers();
    }

    ~ViewFixture()
    {
        // No server may outlive its test, and the managers leave servers running when they go.
        for (const HalvexInstance &instance : instances->instances()) {
            if (const auto pid = instances->processId(instance.id))
                ::kill(static_cast<pid_t>(*pid), SIGKILL);
        }
        importExport.reset();
        binary.reset();
        instances.reset();
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString storage() const { return m_dir.filePath(QStringLiteral("data")); }

    ViewContext context()
    {
        ViewContext context;
        context.settings = settings.get();
        context.instances = instances.get();
        context.binary = binary.get();
        context.importExport = importExport.get();
        context.fileChooser = &chooser;
        context.prompter = &prompter;
        context.preferences = &preferences;
        context.urlOpener = &urlOpener;
        return context;
    }

    // A file that the executable checks accept (or, not executable, refuse).
    static void writeExecutable(const QString &path, bool executable = true)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("#!/bin/sh\nexit 0\n");
        file.close();
        file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                       : QFile::ReadOwner | QFile::WriteOwner);
    }
    void configureExecutable(const QString &path, bool executable = true)
    {
        writeExecutable(path, executable);
        settings->setBinaryPath(QUrl::fromLocalFile(path));
    }

    HalvexInstance add(const QString &name, qint64 port, const QString &token = QStringLiteral("secret-token"))
    {
        instances->addInstance(HalvexInstance::create(name, token, port));
        return instances->instances().last();
    }

    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    QTemporaryDir m_dir;
    AppPaths m_paths;
    ScriptedFileChooser chooser;
    ScriptedPrompter prompter;
    RecordingUrlOpener urlOpener;
    Preferences preferences{m_dir.filePath(QStringLiteral("config"))};
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<InstanceManager> instances;
    std::unique_ptr<BinaryManager> binary;
    std::unique_ptr<ImportExportManager> importExport;

private:
    void createSettings() { settings = std::make_unique<AppSettings>(m_paths); }
    void createManagers()
    {
        instances = std::make_unique<InstanceManager>(settings.get(), m_paths.registryFile());
        binary = std::make_unique<BinaryManager>(settings.get(), m_paths, &chooser,
                                                 QUrl(QStringLiteral("https://127.0.0.1:9/releases")));
        importExport = std::make_unique<ImportExportManager>(settings.get(), instances.get(), &chooser);
    }
};
