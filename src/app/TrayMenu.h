// SPDX-License-Identifier: MIT
#pragma once

#include "instances/InstanceManager.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QUuid>

// The tray icon's menu: the instances with their run states, each with its Start or Stop, then
// "Start All", "Stop All", "Show Halvex Kelvane", "About Halvex Kelvane" and "Quit". Its entries
// are brought up to date when it is about to show and never while it is closed, so that thousands
// of instances and their changes cost nothing while nobody looks.
class TrayMenu final : public QMenu
{
    Q_OBJECT

public:
    // A menu is no place to scroll through thousands of rows. It lists at most this many
    // instances, those with a server first (they are what a tray is used to stop), then stopped
    // ones in the room left, in the window's order; "… and N more" opens the window with them all.
    static constexpr qsizetype listedInstances = 20;

    explicit TrayMenu(InstanceManager *instances, QWidget *parent = nullptr);

    // Brings the entries up to date; done on each aboutToShow.
    void refresh();

signals:
    void showWindowRequested();
    void aboutRequested();

private:
    // One listed instance: a submenu titled with its name and state, holding its Start or Stop.
    struct Entry
    {
        QMenu *menu = nullptr;
        QAction *startStop = nullptr;
        QUuid id;
        bool offersStart = false;
    };
    void startOrStop(const Entry &entry);

    InstanceManager *m_instances;
    QList<Entry> m_entries;
    QAction *m_noInstances;
    QAction *m_more;
    QAction *m_startAll;
    QAction *m_stopAll;
    QIcon m_running;
    QIcon m_changing;
    QIcon m_stopped;
};
