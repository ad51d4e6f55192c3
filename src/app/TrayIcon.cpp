// SPDX-License-Identifier: MIT
#include "TrayIcon.h"

#include "TrayMenu.h"

#include <QApplication>

TrayIcon::TrayIcon(InstanceManager *instances, QObject *parent)
    : QObject(parent)
    , m_menu(std::make_unique<TrayMenu>(instances))
    , m_icon(QApplication::windowIcon())
{
    m_icon.setToolTip(QStringLiteral("Halvex Kelvane"));
    m_icon.setContextMenu(m_menu.get());
    connect(m_menu.get(), &TrayMenu::showWindowRequested, this, &TrayIcon::showWindowRequested);
    connect(m_menu.get(), &TrayMenu::aboutRequested, this, &TrayIcon::aboutRequested);
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit showWindowRequested();
    });
    m_icon.show();
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::mayAppear()
{
    return QSystemTrayIcon::isSystemTrayAvailable() || QGuiApplication::platformName() == u"xcb";
}

bool TrayIcon::showMessage(const QString &title, const QString &message)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_icon.showMessage(title, message, QSystemTrayIcon::Information);
    return true;
}
