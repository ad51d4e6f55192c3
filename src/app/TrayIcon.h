// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class InstanceManager;
class TrayMenu;

// The application's icon in the desktop's tray: its menu of instances and commands, and a click
// that brings the window back.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    explicit TrayIcon(InstanceManager *instances, QObject *parent = nullptr);
    ~TrayIcon() override;

    // Whether an icon can appear: a tray is there now, or the desktop is X11, where a tray that
    // comes later (a panel that starts after an application started at login) takes the icon in
    // by itself.
    static bool mayAppear();

    TrayMenu *menu() const { return m_menu.get(); }
    // A message from the icon; false when no tray is there to show it.
    bool showMessage(const QString &title, const QString &message);

signals:
    void showWindowRequested();
    void aboutRequested();

private:
    // Before the icon, which refers to it, so that the icon goes first.
    std::unique_ptr<TrayMenu> m_menu;
    QSystemTrayIcon m_icon;
};
