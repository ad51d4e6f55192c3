// SPDX-License-Identifier: MIT
#pragma once

#include "HalvexInstance.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

// Whether a name or a port is already taken by another instance: the one rule that both the
// instance form and the import apply before an instance joins the registry. Names are compared
// without regard to case: "Orders" and "orders" would share a host name, and on a file system that
// ignores case, a data directory.
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

    // The first port from `from` up that no instance uses and that `available` accepts (the
    // machine's listeners); none when every port up to 65535 is taken.
    std::optional<quint16> firstFreePort(quint16 from, const std::function<bool(quint16)> &available) const;

private:
    QSet<QString> m_names; // case-folded
    QSet<qint64> m_ports;
};
