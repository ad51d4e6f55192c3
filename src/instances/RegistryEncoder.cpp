// SPDX-License-Identifier: MIT
#include "RegistryEncoder.h"

QByteArray RegistryEncoder::encode(const QList<HalvexInstance> &instances)
{
    QHash<QUuid, Encoded> encoded;
    encoded.reserve(instances.size());
    QByteArray bytes;
    bytes.reserve(instances.size() * 256);
    bytes += '[';
    for (const HalvexInstance &instance : instances) {
        if (bytes.size() > 1)
            bytes += ',';
        auto known = m_encoded.constFind(instance.id);
        if (known == m_encoded.cend() || known->record != instance) {
            QByteArray text;
            instance.appendCompactJson(text);
            known = m_encoded.insert(instance.id, {instance, text});
        }
        bytes += known->text;
        encoded.insert(instance.id, *known);
    }
    bytes += ']';
    m_encoded.swap(encoded); // records that are gone are let go
    return bytes;
}
