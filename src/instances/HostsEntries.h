// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The lines of the hosts file that give instances their host names: "127.0.0.1 <name>.halvex.local".
// The application reads them to see whether a change is needed at all; the privileged helper
// edits them. Both use this one definition, so that what is looked for is what gets written.
namespace HostsEntries {

struct Change
{
    bool add = true;
    QString name;
};

QString entry(const QString &name);

// Whether the content holds exactly the instance's line. A line ending in "\r\n" counts too, so a
// file edited elsewhere is neither given a second line nor reported clean while its line stays.
bool contains(const QByteArray &content, const QString &name);

// The content with the changes applied in order. An add that finds its line changes nothing;
// otherwise it appends the line, after a newline if the last line lacks one. A removal deletes
// every line that is exactly the instance's, never the line of a name that merely contains it.
QByteArray edited(QByteArray content, const QList<Change> &changes);

} // namespace HostsEntries
