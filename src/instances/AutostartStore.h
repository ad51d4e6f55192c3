// SPDX-License-Identifier: MIT
#pragma once

#include "core/StateFile.h"

#include <QSet>
#include <QUuid>

// Which instances start when the application starts. Kept in a file of its own beside the
// registry, so that the registry's records keep their form: a JSON object with one member per
// such instance, its id as the key and true as the value. Written atomically with mode 0600, like
// the registry. A file that cannot be decoded counts as empty and is kept aside before the first
// write.
class AutostartStore
{
public:
    explicit AutostartStore(const QString &file);

    bool contains(const QUuid &id) const { return m_ids.contains(id); }
    // Writes the file when the set changes. Returns false, with error holding a sentence for the
    // user, when it could not be written; the set in memory holds the change all the same.
    bool set(const QUuid &id, bool start, QString *error = nullptr);

private:
    void load();

    StateFile m_file;
    QSet<QUuid> m_ids;
};
