// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"
#include "core/StateFileWriter.h"
#include "instances/AutostartStore.h"
#include "instances/DataDirectories.h"
#include "instances/InstanceLogs.h"
#include "instances/RegistryEncoder.h"
#include "instances/RegistryReading.h"
#include "instances/RunRecords.h"
#include "instances/ServerLaunch.h"
#include "instances/ServerProcess.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <optional>

class AppSettings;
class LocalHostNames;
class ServerOutput;
class ServerLauncher;
class ServerSupervisor;
class StartQueue;

// The registry of instances and everything done to them: the list and its file, the logs, the
// data directories, and (through its collaborators) launching, stopping and host names.
// Everything runs on the GUI thread but the registry file's writes and the launches.
class InstanceManager : public QObject
{
    Q_OBJECT

public:
    // The life of an instance's server as the window, the tray and the command line show it.
    // Starting, Running and Stopping all count as running (isRunning).
    enum class RunState { Stopped, Starting, Running, Stopping };

    // How a server of this session ended.
    struct LastRun
    {
        ServerExit exit;
        bool duringStartup = false;
        QDateTime endedAt;

        bool operator==(const LastRun &) const = default;
    };

    // Without hostNames the manager leaves the hosts file alone (tests that have none to give).
    // Servers that an earlier run started and that still run are found through the run records
    // beside the registry file, and managed again.
    InstanceManager(AppSettings *settings, const QString &registryFile, LocalHostNames *hostNames = nullptr,
                    QObject *parent = nullptr);
    // The same, with the registry file read as the reading does it (ahead, maybe).
    InstanceManager(AppSettings *settings, RegistryReading registry, LocalHostNames *hostNames = nullptr,
                    QObject *parent = nullptr);
    ~InstanceManager() override;

    const QList<HalvexInstance> &instances() const { return m_instances; }
    // The first record with this id, in list order; found without a search of the list.
    std::optional<HalvexInstance> instance(const QUuid &id) const;
    // Where that record is in instances(); -1 when no record has this id.
    qsizetype position(const QUuid &id) const;
    // The instance of this name, compared without regard to case; an exact match wins over one
    // that differs in case only.
    std::optional<HalvexInstance> instanceNamed(const QString &name) const;
    const QHash<QUuid, QStringList> &logs() const { return m_logs.all(); }
    QStringList logs(const QUuid &id) const { return m_logs.entries(id); }

    void addInstance(const HalvexInstance &instance);
    // Appends every record as addInstance does, but with one announcement and one registry write
    // for all of them. The data directories follow on later turns of the event loop, a few at a
    // time, so that thousands of them never hold up the window.
    void addInstances(const QList<HalvexInstance> &instances);
    // Replaces the record with this id, keeping its run state: whether a server runs is known here,
    // not from the caller's copy. A new name moves the instance's data directory along; it is
    // refused while a server runs, and when a file or directory is in the way. Returns false, with
    // error holding a sentence for the user, when nothing was changed.
    bool updateInstance(const HalvexInstance &instance, QString *error = nullptr);
    // Removes the record, its log, its start-at-launch mark and, only if the application created
    // it, its data directory.
    void deleteInstance(const HalvexInstance &instance);
    // Writes the registry file in the background; a failure is announced by saveFailed, once until
    // a save succeeds again.
    void saveInstances();
    // Blocks until the registry file holds the last save, and its outcome has been announced; and
    // until the registry as read at the start is taken in for the next save.
    void waitForSave();
    void loadInstances();

    void addLog(const QUuid &id, const QString &message);
    void clearLogs(const QUuid &id);

    // The instance's data directory: the storage location with the name appended as one path
    // component, as a plain file-system path. Empty for a name that fails the name rule.
    QString dataDirectoryPath(const HalvexInstance &instance) const;
    void createDataDirectory(const HalvexInstance &instance);
    // Whether deleting the instance would remove its data directory: only one that the application
    // created for it, and that exists.
    bool willRemoveDataDirectory(const HalvexInstance &instance) const;

    // Whether the instance is started when the application starts.
    bool startsAtLaunch(const QUuid &id) const { return m_autostart.contains(id); }
    // For an instance of the registry; a failed write is announced by saveFailed.
    void setStartsAtLaunch(const QUuid &id, bool start);
    // Starts the instances marked to start with the application, in list order, except those whose
    // server is already managed (one found still running from an earlier session).
    void startMarkedInstances();
    // Starts every stopped instance, in list order, one per turn of the event loop.
    void startAllInstances();

    // Each prepares, on threads of their own, what makes the first launch or the first save quick;
    // without them the launch or the save does that work itself. Called once the window is up: each
    // takes a core for a while, which the window needs until then. Once is enough.
    // The check of the configured executable (again whenever it changes), and the thread that reads
    // the servers' output.
    void prepareLaunches();
    // The thread that writes the registry, and taking in the registry as read for the next save
    // (also after a later load).
    void prepareSaves();
    // Checks the configured executable, logging what it finds, and starts it as a child process
    // with the instance's settings in its environment. All but the first check happen on a thread
    // of their own: the instance stays Stopped until the server has been started, and launchEnded
    // tells how it went. A stop, delete, edit or quit waits for a launch under way. Outcomes are
    // reported in the log.
    void startInstance(const HalvexInstance &instance);
    // Whether a launch asked by startInstance() has not ended yet.
    bool isLaunching(const QUuid &id) const;
    // Asks a running instance's process to end (SIGTERM, never more); the record stays marked
    // running until the process has exited.
    void stopInstance(const HalvexInstance &instance);
    // Ends a server that did not stop when asked (SIGKILL). Only after the user confirmed it.
    void forceStopInstance(const QUuid &id);
    // How long a stop may take before Force Stop is offered; 10 seconds unless changed.
    void setStopDeadline(std::chrono::milliseconds deadline) { m_stopDeadline = deadline; }
    // Stops every running instance without waiting, and drops the starts still waiting their turn;
    // used by Stop All and when the application quits.
    void stopAllInstances();
    void markInstanceRunning(const QUuid &id);
    void markInstanceNotRunning(const QUuid &id);
    // Adds or removes "<name>.halvex.local" in the hosts file in the background.
    void updateLocalDNS(const HalvexInstance &instance, bool add);
    // Whether a server process belongs to the instance (starting, running or stopping).
    bool hasProcess(const QUuid &id) const;
    RunState runState(const QUuid &id) const;
    // The server's process id while it runs.
    std::optional<qint64> processId(const QUuid &id) const;
    // Since when this run of the application has seen the server run.
    std::optional<QDateTime> runningSince(const QUuid &id) const;
    // A stop was asked longer than the stop deadline ago and the server is still there.
    bool isStopOverdue(const QUuid &id) const;
    // How the instance's last server of this session ended, also while a newer one runs.
    std::optional<LastRun> lastRun(const QUuid &id) const;

signals:
    // Records were appended to the end of the list, in this order: one by an add, all of a batch
    // at once.
    void instancesAdded(const QList<QUuid> &ids);
    // The first record with this id was replaced in place by an update.
    void instanceUpdated(const QUuid &id);
    // Every record with this id left the list.
    void instanceRemoved(const QUuid &id);
    // The whole list was replaced by the records read from the registry file.
    void instancesReset();
    // An entry was appended to the log of id; to keep the log within its capacity, dropped of its
    // oldest entries went first.
    void logAppended(const QUuid &id, const QString &entry, qsizetype dropped);
    // The log of id was emptied by clearLogs() or removed with its instance.
    void logCleared(const QUuid &id);
    // "Could not save instances.json: <reason>" (or autostart.json)
    void saveFailed(const QString &message);
    // The launch asked by startInstance() ended, with its lines in the log: started, the server is
    // Starting; or not, and it stays Stopped.
    void launchEnded(const QUuid &id, bool started);
    // The server of this id started (the record is marked running), became ready, began stopping,
    // overran its stop, or ended (the record is marked not running).
    void runStateChanged(const QUuid &id);

private:
    void load(RegistryReading &registry);
    // Stamps the records with the current time, appends them and returns their ids.
    QList<QUuid> appendRecords(const QList<HalvexInstance> &records);
    // Tells the views and the command line of an entry the log took.
    void announce(const QUuid &id, const InstanceLogs::Appended &appended);
    // Where each id's first record sits in the list; rebuilt when records leave it.
    void reindex();
    void createPendingDirectories();
    // Refuses the rename while a server runs, and moves the data directory along.
    bool renameDataDirectory(const HalvexInstance &stored, const QString &newName, QString *error);
    void removeDataDirectory(const HalvexInstance &instance);
    // The variables the server gets, and the lines that show them in the log.
    ServerProcess::Variables serverEnvironment(const HalvexInstance &instance, QStringList &log) const;
    void launched(const ServerLaunch::Outcome &outcome);
    void setRunning(const QUuid &id, bool running);
    ServerSupervisor *supervise(const HalvexInstance &instance, ServerProcess *process);
    void serverEnded(ServerSupervisor *supervisor, const ServerExit &exit, bool duringStartup);
    // Servers of an earlier run that still run are managed again; records of the others go.
    void adoptSurvivingServers();
    QString outputFile(const QUuid &id) const;

    AppSettings *m_settings;
    std::unique_ptr<StateFile> m_registry;
    StateFileWriter m_registryWriter;
    RegistryEncoder m_encoder;
    QString m_saveFailure; // of the last save, when it failed
    LocalHostNames *m_hostNames;
    QList<HalvexInstance> m_instances;
    QHash<QUuid, qsizetype> m_positions;
    // Records of a batch whose data directories are still to be made, oldest first.
    QList<QUuid> m_pendingDirectories;
    QTimer m_directoryTimer;
    InstanceLogs m_logs;
    DataDirectories m_directories;
    AutostartStore m_autostart;
    QString m_outputDirectory;
    RunRecords m_runRecords;
    ServerOutput *m_output;
    StartQueue *m_startQueue;
    ServerLauncher *m_launcher;
    // The server of each instance from its start (or adoption) until its process has ended, also
    // after the instance was deleted, so that a quit still reaches it.
    QHash<QUuid, ServerSupervisor *> m_servers;
    QHash<QUuid, LastRun> m_lastRuns;
    std::chrono::milliseconds m_stopDeadline{std::chrono::seconds(10)};
    bool m_preparesLaunchChecks = false;
};
