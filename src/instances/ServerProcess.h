// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>
#include <utility>

class ProcessWatch;

// How a server's process ended.
struct ServerExit
{
    enum class Kind { Code, Signal, Unknown };
    Kind kind = Kind::Unknown;
    // The exit code, or the number of the signal that ended it.
    int value = 0;

    // "exit code 1", "signal 15 (SIGTERM)", "an unknown status".
    QString describe() const;
    bool operator==(const ServerExit &) const = default;
};

// One server's process, started by this run of the application or found still running from an
// earlier one. Its output goes to a file, never to a pipe of ours: a server must be able to
// outlive the application without dying of SIGPIPE at its next line, and a busy window must never
// make it wait. Nothing destroys the process with this object: it ends only by a signal.
class ServerProcess final : public QObject
{
    Q_OBJECT

public:
    // Environment variables as names and values in the system's encoding, in the order given.
    using Variables = QList<std::pair<QByteArray, QByteArray>>;

    // The application's own environment with the given variables set over it, as "NAME=value"
    // entries: what a server started now gets.
    static QByteArrayList environmentWith(const Variables &variables);
    // Starts program without arguments, in a process group of its own (a terminal's Ctrl+C
    // reaches the application, which stops its servers in order), with this environment, the
    // application's standard input, and standard output and error appended to outputFile, which is
    // emptied first. Returns its PID, or nothing with error set (the system's words). Safe on any
    // thread; the child is not reaped until an owner made by started() sees it end, so its PID
    // stays its own until then.
    static std::optional<qint64> spawn(const QString &program, QByteArrayList environment, const QString &outputFile,
                                       QString *error);
    // The owner of a child that spawn() started, on the thread that is to watch it.
    static ServerProcess *started(qint64 pid, QObject *parent = nullptr);
    // A process of an earlier run, if it is still there. Its exit status cannot be learnt.
    static ServerProcess *adopt(qint64 pid, QObject *parent = nullptr);

    qint64 pid() const;
    bool isOwnChild() const { return m_ownChild; }
    // SIGTERM: the server is asked to finish.
    bool terminate();
    // SIGKILL, for a server that did not finish when asked.
    bool kill();

signals:
    // Once, when the process has ended.
    void ended(const ServerExit &exit);

private:
    ServerProcess(qint64 pid, bool ownChild, QObject *parent);
    void reap();

    ProcessWatch *m_watch;
    bool m_ownChild;
};
