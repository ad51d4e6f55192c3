// SPDX-License-Identifier: MIT
#include "ServerLauncher.h"

#include <algorithm>
#include <memory>

ServerLauncher::ServerLauncher(QObject *parent)
    : QObject(parent)
{
    m_thread.setMaxThreadCount(1);
    // Kept for the session: otherwise the first launch after an idle half minute would make the
    // thread again, on the GUI thread.
    m_thread.setExpiryTimeout(-1);
}

ServerLauncher::~ServerLauncher()
{
    m_thread.waitForDone();
}

void ServerLauncher::launch(ServerLaunch launch)
{
    const quint64 number = ++m_launches;
    auto promise = std::make_shared<std::promise<ServerLaunch::Outcome>>();
    m_underWay.append({number, launch.instance.id, promise->get_future().share()});
    m_thread.start([this, number, promise, launch = std::move(launch)] {
        promise->set_value(launch.run());
        QMetaObject::invokeMethod(
            this,
            [this, number] {
                tell(std::find_if(m_underWay.cbegin(), m_underWay.cend(),
                                  [number](const UnderWay &launch) { return launch.number == number; }));
            },
            Qt::QueuedConnection);
    });
}

bool ServerLauncher::isLaunching(const QUuid &id) const
{
    return std::any_of(m_underWay.cbegin(), m_underWay.cend(),
                       [&id](const UnderWay &launch) { return launch.id == id; });
}

void ServerLauncher::finish(const QUuid &id)
{
    tell(std::find_if(m_underWay.cbegin(), m_underWay.cend(),
                      [&id](const UnderWay &launch) { return launch.id == id; }));
}

void ServerLauncher::finishAll()
{
    while (!m_underWay.isEmpty())
        tell(m_underWay.cbegin());
}

void ServerLauncher::tell(QList<UnderWay>::const_iterator launch)
{
    if (launch == m_underWay.cend())
        return;
    const std::shared_future<ServerLaunch::Outcome> outcome = launch->outcome;
    m_underWay.erase(launch);
    emit launched(outcome.get());
}
