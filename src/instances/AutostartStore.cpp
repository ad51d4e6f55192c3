// SPDX-License-Identifier: MIT
#include "AutostartStore.h"

#include <QJsonDocument>
#include <QJsonObject>

AutostartStore::AutostartStore(const QString &file)
    : m_file(file)
{
    m_file.removeStaleTemporaries();
    load();
}

void AutostartStore::load()
{
    const auto bytes = m_file.read();
    if (!bytes)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes);
    if (!document.isObject()) {
        m_file.markUndecodable(QStringLiteral("not a JSON object"));
        return;
    }
    const QJsonObject members = document.object();
    QSet<QUuid> ids;
    for (auto member = members.begin(); member != members.end(); ++member) {
        const QUuid id = QUuid::fromString(member.key());
        if (id.isNull() || !member.value().isBool()) {
            m_file.markUndecodable(
                QStringLiteral("member \"%1\" is not an instance id with true or false").arg(member.key()));
            return;
        }
        if (member.value().toBool())
            ids.insert(id);
    }
    m_ids = ids;
}

bool AutostartStore::set(const QUuid &id, bool start, QString *error)
{
    if (m_ids.contains(id) == start)
        return true;
    if (start)
        m_ids.insert(id);
    else
        m_ids.remove(id);
    QJsonObject members;
    for (const QUuid &member : std::as_const(m_ids))
        members.insert(member.toString(QUuid::WithoutBraces), true);
    return m_file.write(QJsonDocument(members).toJson(QJsonDocument::Compact), error);
}
