// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>
#include <QUuid>

class InstanceManager;

// The entries one instance's log gains while this object lives, so that a start or a stop asked
// for from the command line can say why it failed.
class LogCapture final : public QObject
{
    Q_OBJECT

public:
    LogCapture(InstanceManager *instances, const QUuid &id, QObject *parent = nullptr);

    // From here on the entries come from the server's run: its own output and its end.
    void markLaunched();
    // The entries that say why: before the launch, the application's errors and warnings (its
    // progress lines say nothing); after it, what the server printed and the line of its end.
    // Every entry when none of them qualifies.
    QStringList reasons() const;

private:
    QStringList m_entries;
    qsizetype m_launchedAt = -1;
};
