// SPDX-License-Identifier: MIT
#include "AppDelegate.h"

#include "instances/InstanceManager.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(InstanceManager *instanceManager, QObject *parent)
    : QObject(parent)
    , m_instanceManager(instanceManager)
{
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

void AppDelegate::applicationWillTerminate()
{
    m_instanceManager->stopAllInstances();
}
