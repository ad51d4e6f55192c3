// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUuid>

class InstanceManager;

// Starts instances one per turn of the event loop. A start, and the turn that takes its outcome,
// each cost the window a fraction of a millisecond: hundreds asked in one turn would freeze the
// window and the tray for as long as all of them together. Serves every start of several
// instances: Start All in the window and the tray, and the instances that start with the
// application.
class StartQueue final : public QObject
{
    Q_OBJECT

public:
    explicit StartQueue(InstanceManager *instances, QObject *parent = nullptr);

    // Queues these instances, in this order, in place of those still waiting; each is started when
    // its turn comes if it is still there and stopped then.
    void start(const QList<QUuid> &ids);
    // Drops those not started yet.
    void clear();
    qsizetype pending() const { return m_pending.size(); }

private:
    void startNext();

    InstanceManager *m_instances;
    QList<QUuid> m_pending;
    QTimer m_timer;
};
