// SPDX-License-Identifier: MIT
#include "ApplicationShell.h"

#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "platform/DialogFileChooser.h"
#include "views/ContentView.h"
#include "views/DialogPrompter.h"

#include <QApplication>
#include <QIcon>

static void configureApplication()
{
    Q_INIT_RESOURCE(app);
    QApplication::setApplicationName(QStringLiteral("Halvex Kelvane"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));
    QApplication::setDesktopFileName(QStringLiteral("halvex-kelvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/halvex-kelvane.svg")));
    QApplication::setQuitOnLastWindowClosed(true);
}

// The shared managers live until the process exits: destroying one would destroy the processes
// of running servers, which kills them and blocks until they are gone.
ApplicationShell::ApplicationShell()
    : m_delegate(InstanceManager::shared())
{
    configureApplication();
    ViewContext context;
    context.settings = AppSettings::shared();
    context.instances = InstanceManager::shared();
    context.binary = BinaryManager::shared();
    context.importExport = [] { return ImportExportManager::shared(); };
    context.fileChooser = DialogFileChooser::shared();
    context.prompter = DialogPrompter::shared();
    m_window = std::make_unique<ContentView>(context);
}

ApplicationShell::~ApplicationShell() = default;
