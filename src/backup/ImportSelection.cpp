// SPDX-License-Identifier: MIT
#include "ImportSelection.h"

ImportSelection::ImportSelection(const QList<HalvexInstance> &registry)
{
    for (const HalvexInstance &instance : registry) {
        m_names.insert(instance.name);
        m_ports.insert(instance.port);
    }
}

bool ImportSelection::accept(const HalvexInstance &incoming)
{
    if (m_names.contains(incoming.name) || m_ports.contains(incoming.port)) {
        ++m_skipped;
        return false;
    }
    m_names.insert(incoming.name);
    m_ports.insert(incoming.port);
    ++m_imported;
    return true;
}
