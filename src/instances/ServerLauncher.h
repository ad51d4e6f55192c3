// SPDX-License-Identifier: MIT
#pragma once

#include "instances/ServerLaunch.h"

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUuid>

#include <future>

// Runs launches on a thread of its own, one at a time in the order asked, and tells each outcome on
// the thread that asked. A launch spends a millisecond or more in system calls (the checks, the
// spawn, the run record) that the window need not wait for.
class ServerLauncher final : public QObject
{
    Q_OBJECT

public:
    explicit ServerLauncher(QObject *parent = nullptr);
    // Waits for the launch under way. Outcomes not told yet are dropped: their servers have run
    // records, so the next run of the application finds them.
    ~ServerLauncher() override;

    void launch(ServerLaunch launch);
    bool isLaunching(const QUuid &id) const;
    // Waits for the launch of id, if one is under way, and tells its outcome before returning: for
    // whatever must not act on an instance whose server may be starting (a stop, a rename, a quit).
    void finish(const QUuid &id);
    void finishAll();

signals:
    void launched(const ServerLaunch::Outcome &outcome);

private:
    struct UnderWay
    {
        quint64 number;
        QUuid id;
        std::shared_future<ServerLaunch::Outcome> outcome;
    };

    // Tells the outcome of this launch unless it was told already.
    void tell(QList<UnderWay>::const_iterator launch);

    QThreadPool m_thread;
    // Tells one launch of an instance from a later one of the same.
    quint64 m_launches = 0;
    // In the order asked.
    QList<UnderWay> m_underWay;
};
