// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QList>
#include <QSet>
#include <QString>

// Decides which incoming instances an import takes over. An instance is skipped when its name
// (compared exactly, letter case included) or else its port is already in use, by the registry or
// by an instance accepted earlier from the same file: one file can never produce two instances
// sharing a name or a port.
class ImportSelection
{
public:
    explicit ImportSelection(const QList<HalvexInstance> &registry);

    // True when the instance is to be taken over; its name and port count as used from then on.
    bool accept(const HalvexInstance &incoming);

    int imported() const { return m_imported; }
    int skipped() const { return m_skipped; }

private:
    QSet<QString> m_names;
    QSet<qint64> m_ports;
    int m_imported = 0;
    int m_skipped = 0;
};
