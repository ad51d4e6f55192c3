// SPDX-License-Identifier: MIT
#include "HostsCommand.h"

namespace HostsCommand {

namespace {

const QString addVerb = QStringLiteral("add");
const QString removeVerb = QStringLiteral("remove");

QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

// The helper takes the word after a verb as a name whatever it says, so a name that reads like a
// verb opens a group of its own: "remove add" removes the instance called add.
QStringList helperArguments(const QList<HostsEntries::Change> &changes)
{
    QStringList arguments;
    std::optional<bool> groupAdds;
    for (const HostsEntries::Change &change : changes) {
        if (groupAdds != change.add || change.name == addVerb || change.name == removeVerb) {
            arguments.append(change.add ? addVerb : removeVerb);
            groupAdds = change.add;
        }
        arguments.append(change.name);
    }
    return arguments;
}

// The instance's line as a sed address: anchored, dots escaped, an optional carriage return.
QString lineAddress(const QString &name)
{
    QString pattern = HostsEntries::entry(name);
    pattern.replace(u'.', QStringLiteral("\\."));
    return u"/^" + pattern + u"\\r\\{0,1\\}$/";
}

// Edits a copy and writes it back over the file's content, never replacing the file itself: it
// keeps its inode, owner and mode, a symbolic link stays one, and a bind-mounted file can be
// written. The lock keeps two of our commands from interleaving.
QString shellCommand(const QString &hostsFile, const QList<HostsEntries::Change> &changes)
{
    const QString hosts = shellQuoted(hostsFile);
    QStringList lines{
        QStringLiteral("set -e"),
        QStringLiteral("exec 9<") + hosts,
        QStringLiteral("flock 9"),
        QStringLiteral("edit=$(mktemp)"),
        QStringLiteral("trap 'rm -f \"$edit\"' EXIT"),
        QStringLiteral("cat ") + hosts + QStringLiteral(" >\"$edit\""),
    };
    for (const HostsEntries::Change &change : changes) {
        const QString address = lineAddress(change.name);
        if (change.add) {
            // sed quits with 1 at the instance's line, so only a file without it gets one; a last line
            // without its newline would otherwise be glued to the new entry.
            lines.append(QStringLiteral("if sed -n %1 \"$edit\"; then [ -z \"$(tail -c 1 \"$edit\")\" ] || "
                                        "echo >>\"$edit\"; echo %2 >>\"$edit\"; fi")
                             .arg(shellQuoted(address + u"q1"), shellQuoted(HostsEntries::entry(change.name))));
        } else {
            lines.append(QStringLiteral("sed -i %1 \"$edit\"").arg(shellQuoted(address + u'd')));
        }
    }
    lines.append(QStringLiteral("cmp -s \"$edit\" %1 || cat \"$edit\" >%1").arg(hosts));
    return lines.join(u'\n');
}

} // namespace

PrivilegedCommandRunner::Command forChanges(const QString &hostsFile, const QList<HostsEntries::Change> &changes)
{
    return PrivilegedCommandRunner::Command{helperArguments(changes), shellCommand(hostsFile, changes)};
}

} // namespace HostsCommand
