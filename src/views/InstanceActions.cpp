// SPDX-License-Identifier: MIT
#include "InstanceActions.h"

#include "Prompter.h"
#include "UrlOpener.h"
#include "instances/InstanceManager.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>
#include <QWidget>

namespace {

QString localhostAddress(const HalvexInstance &instance)
{
    return QStringLiteral("http://localhost:") + QString::number(instance.port);
}

} // namespace

InstanceActions::InstanceActions(const QUuid &instanceID, ViewContext context, QWidget *dialogParent, QObject *parent)
    : QObject(parent ? parent : dialogParent)
    , m_instanceID(instanceID)
    , m_context(std::move(context))
    , m_dialogParent(dialogParent)
    , m_copyAddress(new QAction(QStringLiteral("Copy Address"), this))
    , m_copyLocalhostAddress(new QAction(QStringLiteral("Copy Localhost Address"), this))
    , m_copyToken(new QAction(QStringLiteral("Copy Token"), this))
    , m_openInBrowser(new QAction(QStringLiteral("Open in Browser"), this))
    , m_openDataFolder(new QAction(QStringLiteral("Open Data Folder"), this))
    , m_forceStop(new QAction(QStringLiteral("Force Stop…"), this))
{
    InstanceManager *manager = m_context.instances;
    connect(m_copyAddress, &QAction::triggered, this, [this, manager] {
        if (const auto record = manager->instance(m_instanceID))
            copy(record->localURL());
    });
    connect(m_copyLocalhostAddress, &QAction::triggered, this, [this, manager] {
        if (const auto record = manager->instance(m_instanceID))
            copy(localhostAddress(*record));
    });
    connect(m_copyToken, &QAction::triggered, this, [this, manager] {
        if (const auto record = manager->instance(m_instanceID))
            copy(record->authToken);
    });
    connect(m_openInBrowser, &QAction::triggered, this, [this, manager] {
        if (const auto record = manager->instance(m_instanceID))
            open(QUrl(localhostAddress(*record) + QStringLiteral("/health")), QStringLiteral("the browser"));
    });
    connect(m_openDataFolder, &QAction::triggered, this, &InstanceActions::openDataDirectory);
    connect(m_forceStop, &QAction::triggered, this, &InstanceActions::confirmForceStop);

    connect(manager, &InstanceManager::runStateChanged, this, [this](const QUuid &id) {
        if (id == m_instanceID)
            update();
    });
    connect(manager, &InstanceManager::instanceUpdated, this, [this](const QUuid &id) {
        if (id == m_instanceID)
            update();
    });
    update();
}

void InstanceActions::setInstanceID(const QUuid &instanceID)
{
    m_instanceID = instanceID;
    update();
}

void InstanceActions::addQuickActions(QMenu *menu) const
{
    menu->addAction(m_copyAddress);
    menu->addAction(m_copyLocalhostAddress);
    menu->addAction(m_copyToken);
    menu->addSeparator();
    menu->addAction(m_openInBrowser);
    menu->addAction(m_openDataFolder);
}

void InstanceActions::update()
{
    const InstanceManager *manager = m_context.instances;
    const auto record = manager->instance(m_instanceID);
    for (QAction *action : {m_copyAddress, m_copyLocalhostAddress, m_copyToken})
        action->setEnabled(record.has_value());
    // Only a server whose port accepts connections has a page to show.
    m_openInBrowser->setEnabled(record && manager->runState(m_instanceID) == InstanceManager::RunState::Running);
    m_openDataFolder->setEnabled(record && !manager->dataDirectoryPath(*record).isEmpty());
    m_forceStop->setVisible(manager->isStopOverdue(m_instanceID));
}

void InstanceActions::copy(const QString &text) const
{
    QGuiApplication::clipboard()->setText(text);
}

void InstanceActions::open(const QUrl &url, const QString &what)
{
    if (!m_context.urlOpener->open(url))
        m_context.prompter->alert(m_dialogParent, QStringLiteral("Could Not Open"),
                                  QStringLiteral("%1 could not be opened in %2.").arg(url.toDisplayString(), what));
}

void InstanceActions::openDataDirectory()
{
    const auto record = m_context.instances->instance(m_instanceID);
    if (!record)
        return;
    const QString path = m_context.instances->dataDirectoryPath(*record);
    if (!QFileInfo(path).isDir()) {
        m_context.prompter->alert(m_dialogParent, QStringLiteral("No Data Folder Yet"),
                                  QStringLiteral("The data folder %1 does not exist yet. It is created when the "
                                                 "instance first starts.")
                                      .arg(path));
        return;
    }
    open(QUrl::fromLocalFile(path), QStringLiteral("the file manager"));
}

void InstanceActions::confirmForceStop()
{
    const auto record = m_context.instances->instance(m_instanceID);
    if (!record || !m_context.instances->isStopOverdue(m_instanceID))
        return;
    const QString message = QStringLiteral("The server of '%1' has not ended since it was asked to stop. Force Stop "
                                           "ends it at once (SIGKILL); data it has not saved yet may be lost.")
                                .arg(record->name);
    // The answer may come after these actions are gone (a context menu closes at once).
    m_context.prompter->confirm(m_dialogParent, QStringLiteral("Force Stop"), message, QStringLiteral("Force Stop"),
                                [manager = m_context.instances, id = m_instanceID](bool confirmed) {
                                    if (confirmed)
                                        manager->forceStopInstance(id);
                                });
}
