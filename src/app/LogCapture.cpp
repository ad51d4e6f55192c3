// SPDX-License-Identifier: MIT
#include "LogCapture.h"

#include "instances/InstanceManager.h"

#include <algorithm>

namespace {

QString messageOf(const QString &entry)
{
    return entry.mid(entry.indexOf(QStringLiteral("] ")) + 2);
}

bool startsWithAny(const QString &text, std::initializer_list<QStringView> prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&text](QStringView prefix) { return text.startsWith(prefix); });
}

bool isApplicationProblem(const QString &message)
{
    return startsWithAny(message, {u"❌", u"⚠️", u"Error", u"Failed"});
}

// What the server printed carries no marker; the application's own lines after the launch do
// (its host-name warnings and hints say nothing of the failure), except the line of its end.
bool isServerFailure(const QString &message)
{
    if (message.startsWith(u"❌"))
        return true;
    return !startsWithAny(message, {u"✓", u"✅", u"⚠️", u"ℹ️", u"💡"}) && message != u"Instance stopped";
}

} // namespace

LogCapture::LogCapture(InstanceManager *instances, const QUuid &id, QObject *parent)
    : QObject(parent)
{
    connect(instances, &InstanceManager::logAppended, this, [this, id](const QUuid &changed, const QString &entry) {
        if (changed == id)
            m_entries.append(entry);
    });
}

void LogCapture::markLaunched()
{
    m_launchedAt = m_entries.size();
}

QStringList LogCapture::reasons() const
{
    QStringList reasons;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const QString message = messageOf(m_entries.at(i));
        const bool launched = m_launchedAt >= 0 && i >= m_launchedAt;
        if (launched ? isServerFailure(message) : isApplicationProblem(message))
            reasons.append(m_entries.at(i));
    }
    return reasons.isEmpty() ? m_entries : reasons;
}
