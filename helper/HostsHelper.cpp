// SPDX-License-Identifier: MIT
#include "HostsHelper.h"

#include "core/InstanceName.h"
#include "instances/HostsEntries.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/file.h>
#include <unistd.h>

namespace HostsHelper {

namespace {

const QString addVerb = QStringLiteral("add");
const QString removeVerb = QStringLiteral("remove");

bool isVerb(const QString &word)
{
    return word == addVerb || word == removeVerb;
}

void complain(const QString &message)
{
    std::fprintf(stderr, "halvex-kelvane-hosts: %s\n", qUtf8Printable(message));
}

// The word after a verb is always a name, so that instances called "add" or "remove" can be named.
std::optional<QList<HostsEntries::Change>> parse(const QStringList &arguments)
{
    QList<HostsEntries::Change> changes;
    qsizetype next = 0;
    while (next < arguments.size()) {
        const QString &verb = arguments.at(next++);
        if (!isVerb(verb) || next == arguments.size())
            return std::nullopt;
        do {
            changes.append(HostsEntries::Change{verb == addVerb, arguments.at(next++)});
        } while (next < arguments.size() && !isVerb(arguments.at(next)));
    }
    if (changes.isEmpty())
        return std::nullopt;
    return changes;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Changes the file in place, never replacing it: it keeps its inode, owner and mode, a symbolic
// link stays a link, and a file bind-mounted into a container can be written at all. Returns
// the reason of a failure.
std::optional<QString> edit(const QString &hostsFile, const QList<HostsEntries::Change> &changes)
{
    QFile file(hostsFile);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return file.errorString();
    // Two runs never interleave their edits (the application may start one at quit beside another).
    if (::flock(file.handle(), LOCK_EX) != 0)
        return systemError();
    const QByteArray before = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    const QByteArray after = HostsEntries::edited(before, changes);
    // Only what differs is written, so an added line is appended and the lines before a removed
    // one are never rewritten.
    qsizetype same = 0;
    while (same < before.size() && same < after.size() && before.at(same) == after.at(same))
        ++same;
    if (same == before.size() && same == after.size())
        return std::nullopt;
    const QByteArray tail = after.sliced(same);
    if (!file.seek(same) || file.write(tail) != tail.size() || !file.resize(after.size()))
        return file.errorString();
    if (::fsync(file.handle()) != 0)
        return systemError();
    return std::nullopt;
}

} // namespace

int run(const QStringList &arguments, const QString &hostsFile)
{
    const auto changes = parse(arguments);
    if (!changes) {
        complain(QStringLiteral("usage: halvex-kelvane-hosts add|remove NAME... [add|remove NAME...]..."));
        return 2;
    }
    for (const HostsEntries::Change &change : *changes) {
        if (!InstanceName::isValid(change.name)) {
            complain(QStringLiteral("not an instance name: ") + change.name);
            return 2;
        }
    }
    if (const auto error = edit(hostsFile, *changes)) {
        complain(hostsFile + QStringLiteral(": ") + *error);
        return 1;
    }
    return 0;
}

} // namespace HostsHelper
