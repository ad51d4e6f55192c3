// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// Encodes the registry file: a compact JSON array of the records. The file is rewritten whole
// after every change, though a change touches one record; each record's text is kept and reused
// while the record is unchanged.
class RegistryEncoder
{
public:
    QByteArray encode(const QList<HalvexInstance> &instances);

private:
    struct Encoded
    {
        HalvexInstance record;
        QByteArray text;
    };
    QHash<QUuid, Encoded> m_encoded;
};
