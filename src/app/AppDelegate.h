// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class InstanceManager;

// The application's quit hook: just before the event loop returns for good, every running
// instance is asked to stop. Nothing waits for the servers to exit.
class AppDelegate final : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(InstanceManager *instanceManager, QObject *parent = nullptr);

    void applicationWillTerminate();

private:
    InstanceManager *m_instanceManager;
};
