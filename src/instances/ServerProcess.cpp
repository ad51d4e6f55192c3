// SPDX-License-Identifier: MIT
#include "ServerProcess.h"

#include "platform/ProcessWatch.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The spawn's attributes and file actions, released however the start ends.
struct SpawnSetup
{
    SpawnSetup()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

} // namespace

QString ServerExit::describe() const
{
    switch (kind) {
    case Kind::Code:
        return QStringLiteral("exit code %1").arg(value);
    case Kind::Signal: {
        const char *abbreviation = ::sigabbrev_np(value);
        return abbreviation ? QStringLiteral("signal %1 (SIG%2)").arg(value).arg(QLatin1StringView(abbreviation))
                            : QStringLiteral("signal %1").arg(value);
    }
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("an unknown status");
}

ServerProcess::ServerProcess(qint64 pid, bool ownChild, QObject *parent)
    : QObject(parent)
    , m_watch(new ProcessWatch(pid, this))
    , m_ownChild(ownChild)
{
    connect(m_watch, &ProcessWatch::ended, this, &ServerProcess::reap);
}

QByteArrayList ServerProcess::environmentWith(const Variables &variables)
{
    // The environment stays in bytes: decoding and encoding it again would cost more than the
    // spawn itself, and would mangle a variable that is not valid in the locale's encoding.
    QByteArrayList entries;
    for (char **entry = environ; *entry; ++entry) {
        const QByteArrayView text(*entry);
        const qsizetype equal = text.indexOf('=');
        if (equal < 0)
            continue;
        const QByteArrayView name = text.first(equal);
        const bool replaced = std::any_of(variables.cbegin(), variables.cend(),
                                          [name](const auto &variable) { return variable.first == name; });
        if (!replaced)
            entries.append(text.toByteArray());
    }
    for (const auto &[name, value] : variables)
        entries.append(name + '=' + value);
    return entries;
}

std::optional<qint64> ServerProcess::spawn(const QString &program, QByteArrayList environment,
                                           const QString &outputFile, QString *error)
{
    const int output =
        ::open(QFile::encodeName(outputFile).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (output < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(outputFile, qt_error_string(errno));
        return std::nullopt;
    }
    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, output, STDERR_FILENO);
    // Nothing of the application's but its standard input reaches the server.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

    // Whatever the application ignores or blocks (a vanished pipe's reader, say) is not the
    // server's business: it starts with every signal at its default and none blocked.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    const QByteArray path = QFile::encodeName(program);
    char *arguments[] = {const_cast<char *>(path.constData()), nullptr};
    std::vector<char *> entryPointers;
    entryPointers.reserve(environment.size() + 1);
    for (QByteArray &entry : environment)
        entryPointers.push_back(entry.data());
    entryPointers.push_back(nullptr);

    pid_t pid = 0;
    const int failure =
        ::posix_spawn(&pid, path.constData(), &setup.actions, &setup.attributes, arguments, entryPointers.data());
    ::close(output);
    if (failure != 0) {
        *error = qt_error_string(failure);
        return std::nullopt;
    }
    return pid;
}

ServerProcess *ServerProcess::started(qint64 pid, QObject *parent)
{
    return new ServerProcess(pid, true, parent);
}

ServerProcess *ServerProcess::adopt(qint64 pid, QObject *parent)
{
    auto *process = new ServerProcess(pid, false, parent);
    if (process->m_watch->isValid())
        return process;
    delete process;
    return nullptr;
}

qint64 ServerProcess::pid() const
{
    return m_watch->pid();
}

bool ServerProcess::terminate()
{
    return m_watch->sendSignal(SIGTERM);
}

bool ServerProcess::kill()
{
    return m_watch->sendSignal(SIGKILL);
}

void ServerProcess::reap()
{
    ServerExit exit;
    int status = 0;
    if (m_ownChild && ::waitpid(static_cast<pid_t>(pid()), &status, WNOHANG) > 0) {
        if (WIFEXITED(status))
            exit = ServerExit{ServerExit::Kind::Code, WEXITSTATUS(status)};
        else if (WIFSIGNALED(status))
            exit = ServerExit{ServerExit::Kind::Signal, WTERMSIG(status)};
    }
    emit ended(exit);
}
