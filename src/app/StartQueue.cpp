// SPDX-License-Identifier: MIT
#include "StartQueue.h"

#include "instances/InstanceManager.h"

StartQueue::StartQueue(InstanceManager *instances, QObject *parent)
    : QObject(parent)
    , m_instances(instances)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &StartQueue::startNext);
}

void StartQueue::startAllStopped()
{
    m_pending.clear();
    for (const HalvexInstance &instance : m_instances->instances()) {
        if (m_instances->runState(instance.id) == InstanceManager::RunState::Stopped)
            m_pending.append(instance.id);
    }
    if (!m_pending.isEmpty())
        m_timer.start();
}

void StartQueue::clear()
{
    m_pending.clear();
    m_timer.stop();
}

void StartQueue::startNext()
{
    if (m_pending.isEmpty()) {
        m_timer.stop();
        return;
    }
    // Deleted or started some other way while it waited: nothing to do.
    const auto instance = m_instances->instance(m_pending.takeFirst());
    if (instance && m_instances->runState(instance->id) == InstanceManager::RunState::Stopped)
        m_instances->startInstance(*instance);
    if (m_pending.isEmpty())
        m_timer.stop();
}
