// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QThreadPool>
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
// as the server starts and removed when the process has ended.
class RunRecords
{
public:
    explicit RunRecords(QString directory);
    // Waits for the records being noted: their servers outlive the application.
    ~RunRecords();

    // Notes the server just started as pid on a thread of its own: reading its start time from
    // /proc and writing the file would take every launch's GUI thread to the kernel and the disk.
    // The file is there a fraction of a millisecond after the start.
    void note(const QUuid &id, qint64 pid, qint64 port, const QString &outputFile);
    bool write(const RunRecord &record, QString *error = nullptr) const;
    // Both wait for the records still being noted, which they would otherwise race or miss.
    void remove(const QUuid &id) const;
    // Every record that can be read; files that cannot be are removed.
    QList<RunRecord> readAll() const;

private:
    QString path(const QUuid &id) const;

    QString m_directory;
    mutable QThreadPool m_writer;
};
