// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QList>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// A home of its own for one run of the application: HOME and every XDG directory inside a new
// temporary directory, a state directory with settings (a server configured, UTC) and a
// registry, a runtime directory for the command socket, and a hosts file of its own. No run sees
// the lock, the socket or the files of another, and none touches the real home or /etc/hosts.
class Sandbox
{
public:
    // With an empty registry there is no registry file. The executable is the configured server.
    Sandbox(const QString &base, const QByteArray &registry,
            const QString &executable = QStringLiteral(HALVEX_SERVER_PATH));
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString stateDirectory() const { return path(QStringLiteral("data/HalvexKelvane")); }
    QString storageLocation() const { return path(QStringLiteral("Halvex")); }
    QProcessEnvironment environment() const;

    // count records as the form makes them: "instance-<n>", a token, port 10000 + n.
    static QList<HalvexInstance> records(int count);
    // The registry file's bytes for these records.
    static QByteArray registry(const QList<HalvexInstance> &records);

private:
    QTemporaryDir m_dir;
};
