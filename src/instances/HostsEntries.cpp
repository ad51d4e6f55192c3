// SPDX-License-Identifier: MIT
#include "HostsEntries.h"

namespace HostsEntries {

namespace {

bool isEntryLine(QByteArrayView line, const QByteArray &wanted)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line == wanted;
}

// Calls visit(line without its '\n', line with it) for every line of the content.
template<typename Visit>
void forEachLine(const QByteArray &content, Visit visit)
{
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype newline = content.indexOf('\n', start);
        const qsizetype end = newline < 0 ? content.size() : newline;
        const qsizetype next = newline < 0 ? content.size() : newline + 1;
        visit(QByteArrayView(content).sliced(start, end - start), QByteArrayView(content).sliced(start, next - start));
        start = next;
    }
}

} // namespace

QString entry(const QString &name)
{
    return QStringLiteral("127.0.0.1 ") + name + QStringLiteral(".halvex.local");
}

bool contains(const QByteArray &content, const QString &name)
{
    const QByteArray wanted = entry(name).toUtf8();
    bool found = false;
    forEachLine(content, [&](QByteArrayView line, QByteArrayView) { found = found || isEntryLine(line, wanted); });
    return found;
}

QByteArray edited(QByteArray content, const QList<Change> &changes)
{
    for (const Change &change : changes) {
        const QByteArray wanted = entry(change.name).toUtf8();
        if (change.add) {
            if (contains(content, change.name))
                continue;
            if (!content.isEmpty() && !content.endsWith('\n'))
                content += '\n';
            content += wanted + '\n';
        } else {
            QByteArray kept;
            kept.reserve(content.size());
            forEachLine(content, [&](QByteArrayView line, QByteArrayView whole) {
                if (!isEntryLine(line, wanted))
                    kept += whole;
            });
            content = kept;
        }
    }
    return content;
}

} // namespace HostsEntries
