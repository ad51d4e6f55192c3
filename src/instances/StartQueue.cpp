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

void StartQueue::start(const QList<QUuid> &ids)
{
    m_pending = ids;
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
