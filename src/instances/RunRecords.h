// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// What the application notes about each server it starts, so that a later run can find the
// servers that outlived this one (a crash, a kill, a logout) and manage them again.
struct RunRecord
{
    QUuid id; // the instance's
    qint64 pid = 0;
    // The process's start time from /proc: with it, a PID given to another program since is told
    // apart from the server.
    quint64 startTime = 0;
    QString executable;
    qint64 port = 0;
    QString outputFile;

    // The process is there and is still this server.
    bool isAlive() const;
    // The record of a process just started.
    static std::optional<RunRecord> of(const QUuid &id, qint64 pid, qint64 port, const QString &outputFile);
};

// One small file per running server (mode 0600) in a directory of the state directory, written
// before the start is reported and removed when the process has ended.
class RunRecords
{
public:
    explicit RunRecords(QString directory);

    bool write(const RunRecord &record, QString *error = nullptr) const;
    void remove(const QUuid &id) const;
    // Every record that can be read; files that cannot be are removed.
    QList<RunRecord> readAll() const;

private:
    QString path(const QUuid &id) const;

    QString m_directory;
};
