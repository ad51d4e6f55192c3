// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"
#include "instances/InstanceLogs.h"
#include "instances/RegistryEncoder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcessEnvironment>
#include <QTimer>
#include <QUuid>

#include <optional>

class AppSettings;
class InstanceProcess;
class LocalHostNames;
class StateFile;

// The registry of instances and everything done to them: the list and its file, the logs, the
// data directories, and (through its collaborators) launching, stopping and host names.
// Everything runs on the GUI thread.
class InstanceManager : public QObject
{
    Q_OBJECT

public:
    // Without hostNames the manager leaves the hosts file alone (tests that have none to give).
    InstanceManager(AppSettings *settings, const QString &registryFile, LocalHostNames *hostNames = nullptr,
                    QObject *parent = nullptr);
    ~InstanceManager() override;

    const QList<HalvexInstance> &instances() const { return m_instances; }
    // The first record with this id, in list order; found without a search of the list.
    std::optional<HalvexInstance> instance(const QUuid &id) const;
    const QHash<QUuid, QStringList> &logs() const { return m_logs.all(); }
    QStringList logs(const QUuid &id) const { return m_logs.entries(id); }

    void addInstance(const HalvexInstance &instance);
    // Appends every record as addInstance does, but with one announcement and one registry write
    // for all of them. The data directories follow on later turns of the event loop, a few at a
    // time, so that thousands of them never hold up the window.
    void addInstances(const QList<HalvexInstance> &instances);
    void updateInstance(const HalvexInstance &instance);
    void deleteInstance(const HalvexInstance &instance);
    // Returns whether the file was written; a failure is announced by saveFailed, once until a
    // save succeeds again.
    bool saveInstances();
    void loadInstances();

    void addLog(const QUuid &id, const QString &message);
    void clearLogs(const QUuid &id);

    // The instance's data directory: the storage location with the name appended as one path
    // component, as a plain file-system path. Empty for a name that fails the name rule.
    QString dataDirectoryPath(const HalvexInstance &instance) const;
    void createDataDirectory(const HalvexInstance &instance);

    // Checks the configured executable, logging what it finds, and starts it as a child process
    // with the instance's settings in its environment. Outcomes are reported in the log.
    void startInstance(const HalvexInstance &instance);
    // Asks a running instance's process to end (SIGTERM); the record stays marked running until
    // the process has exited.
    void stopInstance(const HalvexInstance &instance);
    // Stops every running instance without waiting; used when the application quits.
    void stopAllInstances();
    void markInstanceRunning(const QUuid &id);
    void markInstanceNotRunning(const QUuid &id);
    // Adds or removes "<name>.halvex.local" in the hosts file in the background.
    void updateLocalDNS(const HalvexInstance &instance, bool add);
    // Whether a process of this run belongs to the instance (starting, running or stopping).
    bool hasProcess(const QUuid &id) const;

signals:
    // Records were appended to the end of the list, in this order: one by an add, all of a batch
    // at once.
    void instancesAdded(const QList<QUuid> &ids);
    // The first record with this id was replaced in place by an update.
    void instanceUpdated(const QUuid &id);
    // Every record with this id left the list.
    void instanceRemoved(const QUuid &id);
    // The first record with this id was marked running or not running.
    void runStateChanged(const QUuid &id, bool running);
    // The whole list was replaced by the records read from the registry file.
    void instancesReset();
    // The log of this id changed: an entry was added, or the log was cleared or removed.
    void logsChanged(const QUuid &id);
    // "Could not save instances.json: <reason>"
    void saveFailed(const QString &message);

private:
    // Stamps the records with the current time, appends them and returns their ids.
    QList<QUuid> appendRecords(const QList<HalvexInstance> &records);
    // Where each id's first record sits in the list; rebuilt when records leave it.
    void reindex();
    void createPendingDirectories();
    void removeDataDirectory(const HalvexInstance &instance);
    // The launch's look at the executable; false when the launch must stop.
    bool verifyExecutable(const HalvexInstance &instance, const QString &path);
    QProcessEnvironment serverEnvironment(const HalvexInstance &instance);
    void setRunning(const QUuid &id, bool running);

    AppSettings *m_settings;
    std::unique_ptr<StateFile> m_registry;
    RegistryEncoder m_encoder;
    QString m_saveFailure; // of the last save, when it failed
    LocalHostNames *m_hostNames;
    QList<HalvexInstance> m_instances;
    QHash<QUuid, qsizetype> m_positions;
    // Records of a batch whose data directories are still to be made, oldest first.
    QList<QUuid> m_pendingDirectories;
    QTimer m_directoryTimer;
    InstanceLogs m_logs;
    // The server process of each instance started by this run, from its start until its exit.
    QHash<QUuid, QPointer<InstanceProcess>> m_processes;
};
