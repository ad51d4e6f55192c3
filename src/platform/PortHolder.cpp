// SPDX-License-Identifier: MIT
#include "PortHolder.h"

#include "ProcessInfo.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QSet>

#include <unistd.h>

namespace {

constexpr QByteArrayView listening = "0A"; // TCP_LISTEN in /proc/net/tcp

// The inodes of the sockets listening on the port, from a table such as /proc/net/tcp.
void collectListeningSockets(const QString &table, quint16 port, QSet<QByteArray> &inodes)
{
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    const QByteArrayList lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayList fields = lines.at(i).simplified().split(' ');
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
        if (fields.size() < 10 || fields.at(3) != listening)
            continue;
        const QByteArray local = fields.at(1);
        bool ok = false;
        const uint localPort = local.mid(local.lastIndexOf(':') + 1).toUInt(&ok, 16);
        if (ok && localPort == port)
            inodes.insert(fields.at(9));
    }
}

QByteArray linkTarget(const QByteArray &link)
{
    char target[64];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    return length > 0 ? QByteArray(target, length) : QByteArray();
}

} // namespace

namespace PortHolder {

std::optional<Holder> find(quint16 port)
{
    QSet<QByteArray> inodes;
    collectListeningSockets(QStringLiteral("/proc/net/tcp"), port, inodes);
    collectListeningSockets(QStringLiteral("/proc/net/tcp6"), port, inodes);
    inodes.remove("0");
    if (inodes.isEmpty())
        return std::nullopt;

    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : processes) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        // Other users' descriptors cannot be read; the listing simply comes back empty.
        const QByteArray directory = "/proc/" + QByteArray::number(pid) + "/fd/";
        const QStringList fds = QDir(QString::fromLatin1(directory)).entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            const QByteArray target = linkTarget(directory + fd.toLatin1());
            // socket:[<inode>]
            if (target.startsWith("socket:[") && inodes.contains(target.mid(8).chopped(1)))
                return Holder{pid, ProcessInfo::name(pid)};
        }
    }
    return std::nullopt;
}

} // namespace PortHolder
