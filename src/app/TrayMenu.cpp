// SPDX-License-Identifier: MIT
#include "TrayMenu.h"

#include "views/RunStateText.h"
#include "views/SystemColors.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>

namespace {

QIcon dot(const QColor &color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(4, 4, 8, 8));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

TrayMenu::TrayMenu(InstanceManager *instances, QWidget *parent)
    : QMenu(parent)
    , m_instances(instances)
    , m_running(dot(SystemColors::green()))
    , m_changing(dot(SystemColors::orange()))
    , m_stopped(dot(palette().color(QPalette::PlaceholderText)))
{
    // The entries are made once and only filled in later: a tray that shows the menu from another
    // process keeps the ids of entries it has seen.
    m_entries.resize(listedInstances);
    for (qsizetype i = 0; i < listedInstances; ++i) {
        Entry &entry = m_entries[i];
        entry.menu = addMenu(QString());
        entry.startStop = entry.menu->addAction(QString(), this, [this, i] { startOrStop(m_entries.at(i)); });
    }
    m_noInstances = addAction(QStringLiteral("No instances"));
    m_noInstances->setEnabled(false);
    m_more = addAction(QString(), this, &TrayMenu::showWindowRequested);
    addSeparator();
    m_startAll = addAction(QStringLiteral("Start All"), instances, &InstanceManager::startAllInstances);
    m_stopAll = addAction(QStringLiteral("Stop All"), instances, &InstanceManager::stopAllInstances);
    addSeparator();
    addAction(QStringLiteral("Show Halvex Kelvane"), this, &TrayMenu::showWindowRequested);
    addAction(QStringLiteral("About Halvex Kelvane"), this, &TrayMenu::aboutRequested);
    addSeparator();
    // As the window's Quit: every running server is asked to stop on the way out.
    addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);

    connect(this, &QMenu::aboutToShow, this, &TrayMenu::refresh);
    // Some trays read the entries before they announce that the menu is about to show.
    refresh();
}

void TrayMenu::refresh()
{
    const QList<HalvexInstance> &all = m_instances->instances();
    QList<qsizetype> withServer;
    QList<qsizetype> stopped;
    bool anyStopped = false;
    bool anyStoppable = false;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const InstanceManager::RunState state = m_instances->runState(all.at(i).id);
        if (state == InstanceManager::RunState::Stopped) {
            anyStopped = true;
            // Stop All also stops a server whose launch is under way.
            anyStoppable = anyStoppable || m_instances->isLaunching(all.at(i).id);
            if (stopped.size() < listedInstances)
                stopped.append(i);
            continue;
        }
        anyStoppable = anyStoppable || state != InstanceManager::RunState::Stopping;
        if (withServer.size() < listedInstances)
            withServer.append(i);
    }
    QList<qsizetype> listed = withServer;
    listed.append(stopped.first(std::min(stopped.size(), listedInstances - withServer.size())));
    std::sort(listed.begin(), listed.end());

    for (qsizetype slot = 0; slot < listedInstances; ++slot) {
        Entry &entry = m_entries[slot];
        QAction *title = entry.menu->menuAction();
        title->setVisible(slot < listed.size());
        if (slot >= listed.size())
            continue;
        const HalvexInstance &instance = all.at(listed.at(slot));
        const InstanceManager::RunState state = m_instances->runState(instance.id);
        entry.id = instance.id;
        entry.offersStart = state == InstanceManager::RunState::Stopped;
        // "&" would mark the next letter as a shortcut.
        QString name = instance.name;
        name.replace(u'&', QStringLiteral("&&"));
        title->setText(name + QStringLiteral(" — ") + RunStateText::name(state));
        title->setIcon(state == InstanceManager::RunState::Running   ? m_running
                       : state == InstanceManager::RunState::Stopped ? m_stopped
                                                                     : m_changing);
        entry.startStop->setText(entry.offersStart ? QStringLiteral("Start") : QStringLiteral("Stop"));
        entry.startStop->setEnabled(state != InstanceManager::RunState::Stopping);
    }
    m_noInstances->setVisible(all.isEmpty());
    m_more->setVisible(all.size() > listed.size());
    m_more->setText(QStringLiteral("… and %1 more").arg(all.size() - listed.size()));
    m_startAll->setEnabled(anyStopped);
    m_stopAll->setEnabled(anyStoppable);
}

void TrayMenu::startOrStop(const Entry &entry)
{
    // What the entry offered when the menu opened: a server that changed meanwhile is not started
    // by a "Stop" or stopped by a "Start".
    const auto instance = m_instances->instance(entry.id);
    if (!instance)
        return;
    if (entry.offersStart)
        m_instances->startInstance(*instance);
    else
        m_instances->stopInstance(*instance);
}
