// SPDX-License-Identifier: MIT
#pragma once

#include "HalvexInstance.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

// Whether a name or a port is already taken by another instance: the one rule that both the
// instance form and the import apply before an instance joins the registry.
class InstanceConflicts
{
public:
    enum class Conflict { None, Name, Port };

    // What the registry holds; except names the instance being edited, which cannot conflict with
    // itself.
    explicit InstanceConflicts(const QList<HalvexInstance> &instances, const QUuid &except = QUuid());

    // A name conflict is reported before a port conflict.
    Conflict check(const QString &name, qint64 port) const;
    // From now on the name and the port count as taken, as those of an instance an import accepted.
    void take(const QString &name, qint64 port);

private:
    QSet<QString> m_names;
    QSet<qint64> m_ports;
};
