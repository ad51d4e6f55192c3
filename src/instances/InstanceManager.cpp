// SPDX-License-Identifier: MIT
#include "InstanceManager.h"

#include "core/AppSettings.h"
#include "core/FileContents.h"
#include "core/ReferenceDate.h"
#include "core/StateFile.h"
#include "instances/ExecutableProbe.h"
#include "instances/LocalHostNames.h"
#include "instances/ServerLauncher.h"
#include "instances/ServerOutput.h"
#include "instances/ServerSupervisor.h"
#include "instances/StartQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

// Time that one turn of the event loop may spend making data directories of a batch: half a frame,
// so that the window keeps drawing whatever the disk's speed.
constexpr qint64 directorySliceNanoseconds = 8'000'000;

} // namespace

InstanceManager::InstanceManager(AppSettings *settings, const QString &registryFile, LocalHostNames *hostNames,
                                 QObject *parent)
    : InstanceManager(settings, RegistryReading(registryFile), hostNames, parent)
{}

InstanceManager::InstanceManager(AppSettings *settings, RegistryReading registry, LocalHostNames *hostNames,
                                 QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_registry(std::make_unique<StateFile>(registry.path()))
    , m_registryWriter(m_registry.get())
    , m_hostNames(hostNames)
    , m_directories(settings)
    , m_autostart(QFileInfo(registry.path()).absolutePath() + QStringLiteral("/autostart.json"))
    , m_outputDirectory(QFileInfo(registry.path()).absolutePath() + QStringLiteral("/output"))
    , m_runRecords(QFileInfo(registry.path()).absolutePath() + QStringLiteral("/run"))
    , m_output(new ServerOutput(this))
    , m_startQueue(new StartQueue(this, this))
    , m_launcher(new ServerLauncher(this))
{
    m_registry->removeStaleTemporaries();
    connect(&m_registryWriter, &StateFileWriter::written, this, [this](const QString &error) {
        if (std::exchange(m_saveFailure, error) != error && !error.isEmpty())
            emit saveFailed(error);
    });
    // The application ends without destroying the manager: the last change must reach the disk
    // before the process goes.
    if (QCoreApplication::instance())
        connect(qApp, &QCoreApplication::aboutToQuit, this, &InstanceManager::waitForSave);
    m_directoryTimer.setSingleShot(true);
    m_directoryTimer.setInterval(0);
    connect(&m_directoryTimer, &QTimer::timeout, this, &InstanceManager::createPendingDirectories);
    connect(
        m_output, &ServerOutput::entries, this, [this](const QUuid &id, const QStringList &entries, qsizetype skipped) {
            // Said where it happened: a log that runs on past a gap would look whole.
            if (skipped > 0)
                addLog(id, QStringLiteral("⚠️ %1 entries of the server's output were skipped to keep up with it")
                               .arg(skipped));
            for (const QString &entry : entries)
                announce(id, m_logs.addStamped(id, entry));
        });
    connect(m_launcher, &ServerLauncher::launched, this, &InstanceManager::launched);
    load(registry);
    adoptSurvivingServers();
}

InstanceManager::~InstanceManager() = default;

std::optional<HalvexInstance> InstanceManager::instance(const QUuid &id) const
{
    const qsizetype found = position(id);
    if (found < 0)
        return std::nullopt;
    return m_instances.at(found);
}

qsizetype InstanceManager::position(const QUuid &id) const
{
    return m_positions.value(id, -1);
}

void InstanceManager::reindex()
{
    m_positions.clear();
    m_positions.reserve(m_instances.size());
    for (qsizetype i = 0; i < m_instances.size(); ++i) {
        if (!m_positions.contains(m_instances.at(i).id))
            m_positions.insert(m_instances.at(i).id, i);
    }
}

std::optional<HalvexInstance> InstanceManager::instanceNamed(const QString &name) const
{
    std::optional<HalvexInstance> found;
    for (const HalvexInstance &instance : m_instances) {
        if (instance.name == name)
            return instance;
        if (!found && instance.name.compare(name, Qt::CaseInsensitive) == 0)
            found = instance;
    }
    return found;
}

void InstanceManager::loadInstances()
{
    // The file is read and marked here, not while the writer's thread has it.
    waitForSave();
    RegistryReading registry(m_registry->path());
    load(registry);
}

void InstanceManager::load(RegistryReading &registry)
{
    std::optional<RegistryContents> contents = registry.take();
    if (!contents)
        return;
    // A name or port put in by hand must not reach a path, a host name or a launch.
    const auto refused = [this](qsizetype index, const QString &error) {
        if (error.isEmpty())
            return false;
        m_registry->markUndecodable(QStringLiteral("record %1: ").arg(index + 1) + error);
        return true;
    };
    // The file as this application writes it is read without a JSON parser, which would take most
    // of the start-up with thousands of records.
    std::optional<QList<HalvexInstance>> loaded;
    if (contents->decoded) {
        loaded = std::move(contents->decoded->records);
        for (qsizetype i = 0; i < loaded->size(); ++i) {
            if (refused(i, loaded->at(i).validationError()))
                return;
        }
        m_encoder.learnDecoded(contents->file, *loaded, contents->decoded->spans);
    } else {
        const QByteArray bytes = contents->file.bytes().toByteArray();
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        if (!document.isArray()) {
            m_registry->markUndecodable(QStringLiteral("not a JSON array"));
            return;
        }
        const QJsonArray records = document.array();
        loaded.emplace();
        loaded->reserve(records.size());
        for (qsizetype i = 0; i < records.size(); ++i) {
            QString error = QStringLiteral("not an object");
            const auto instance = records[i].isObject()
                                      ? HalvexInstance::fromJson(records[i].toObject(),
                                                                 HalvexInstance::DateForm::ReferenceSeconds, &error)
                                      : std::nullopt;
            if (refused(i, instance ? instance->validationError() : error))
                return;
            loaded->append(*instance);
        }
        m_encoder.learn(bytes, *loaded);
    }
    // No process of this run can belong to a stored record: a flag saved while its server ran
    // would otherwise leave the record "running" for ever, unstartable and unstoppable.
    // Only where one is set: the list is still shared with the encoder learning it, and a change
    // copies it whole.
    for (qsizetype i = 0; i < loaded->size(); ++i) {
        if (loaded->at(i).isRunning)
            (*loaded)[i].isRunning = false;
    }
    m_instances = *loaded;
    reindex();
    emit instancesReset();
}

void InstanceManager::saveInstances()
{
    m_registryWriter.write(m_encoder.encode(m_instances));
}

void InstanceManager::waitForSave()
{
    m_encoder.waitForLearning();
    m_registryWriter.flush();
}

QList<QUuid> InstanceManager::appendRecords(const QList<HalvexInstance> &records)
{
    const double now = ReferenceDate::now();
    QList<QUuid> ids;
    ids.reserve(records.size());
    m_instances.reserve(m_instances.size() + records.size());
    for (HalvexInstance record : records) {
        record.updatedAt = now;
        if (!m_positions.contains(record.id))
            m_positions.insert(record.id, m_instances.size());
        m_instances.append(record);
        ids.append(record.id);
    }
    return ids;
}

void InstanceManager::addInstance(const HalvexInstance &instance)
{
    const QList<QUuid> ids = appendRecords({instance});
    const HalvexInstance added = m_instances.last();
    emit instancesAdded(ids);
    saveInstances();
    createDataDirectory(added);
}

void InstanceManager::addInstances(const QList<HalvexInstance> &instances)
{
    if (instances.isEmpty())
        return;
    const QList<QUuid> ids = appendRecords(instances);
    emit instancesAdded(ids);
    saveInstances();
    m_pendingDirectories += ids;
    if (!m_directoryTimer.isActive())
        m_directoryTimer.start();
}

void InstanceManager::createPendingDirectories()
{
    QElapsedTimer slice;
    slice.start();
    while (!m_pendingDirectories.isEmpty() && slice.nsecsElapsed() < directorySliceNanoseconds) {
        // Looked up now: a record deleted meanwhile gets no directory, a renamed one gets its new name.
        if (const auto record = instance(m_pendingDirectories.takeFirst()))
            createDataDirectory(*record);
    }
    if (!m_pendingDirectories.isEmpty())
        m_directoryTimer.start();
}

bool InstanceManager::updateInstance(const HalvexInstance &instance, QString *error)
{
    // A rename moves the data directory, which a server being launched may be given.
    m_launcher->finish(instance.id);
    const auto found = m_positions.constFind(instance.id);
    if (found == m_positions.cend()) {
        if (error)
            *error = QStringLiteral("The instance no longer exists");
        return false;
    }
    const HalvexInstance stored = m_instances.at(*found);
    if (instance.name != stored.name && !renameDataDirectory(stored, instance.name, error))
        return false;
    HalvexInstance updated = instance;
    updated.updatedAt = ReferenceDate::now();
    // A copy taken before its server started or ended must not bring the old state back: an
    // instance marked running without a server could be neither started nor stopped.
    updated.isRunning = stored.isRunning;
    m_instances[*found] = updated;
    emit instanceUpdated(instance.id);
    saveInstances();
    return true;
}

bool InstanceManager::renameDataDirectory(const HalvexInstance &stored, const QString &newName, QString *error)
{
    QString reason;
    if (hasProcess(stored.id)) {
        reason = QStringLiteral("The instance '%1' is running. Stop it before renaming it.").arg(stored.name);
    } else {
        QString failure;
        switch (m_directories.move(stored, newName, &failure)) {
        case DataDirectories::Move::NothingToMove:
            return true;
        case DataDirectories::Move::Moved:
            addLog(stored.id, QStringLiteral("✓ Data directory moved: %1 → %2")
                                  .arg(m_directories.path(stored.name), m_directories.path(newName)));
            return true;
        case DataDirectories::Move::TargetExists:
            reason = QStringLiteral("Cannot rename the instance to '%1': %2 already exists. Choose another name, or "
                                    "move that directory away first.")
                         .arg(newName, m_directories.path(newName));
            break;
        case DataDirectories::Move::Failed:
            reason = QStringLiteral("Cannot rename the instance to '%1': its data directory %2 could not be moved: %3")
                         .arg(newName, m_directories.path(stored.name), failure);
            break;
        }
    }
    if (error)
        *error = reason;
    return false;
}

void InstanceManager::deleteInstance(const HalvexInstance &instance)
{
    // The live state decides: a server that started after the caller took its copy is stopped too.
    m_launcher->finish(instance.id);
    if (const auto current = this->instance(instance.id))
        stopInstance(*current);
    if (m_instances.removeIf([&instance](const HalvexInstance &stored) { return stored.id == instance.id; }) > 0) {
        reindex();
        emit instanceRemoved(instance.id);
    }
    m_logs.remove(instance.id);
    emit logCleared(instance.id);
    saveInstances();
    setStartsAtLaunch(instance.id, false);
    removeDataDirectory(instance);
}

void InstanceManager::prepareSaves()
{
    m_encoder.learnInBackground();
    m_registryWriter.prepare();
}

void InstanceManager::prepareLaunches()
{
    m_output->start();
    if (std::exchange(m_preparesLaunchChecks, true))
        return;
    const auto prepare = [this] { ExecutableProbe::prepare(m_settings->binaryPath().toLocalFile()); };
    prepare();
    connect(m_settings, &AppSettings::changed, this, prepare);
}

ServerProcess::Variables InstanceManager::serverEnvironment(const HalvexInstance &instance, QStringList &log) const
{
    const QString dataDirectory = dataDirectoryPath(instance);
    const ServerProcess::Variables environment{
        {QByteArrayLiteral("HALVEX_AUTH_TOKEN"), instance.authToken.toLocal8Bit()},
        {QByteArrayLiteral("HALVEX_DATA_DIR"), dataDirectory.toLocal8Bit()},
        {QByteArrayLiteral("HALVEX_PORT"), QByteArray::number(instance.port)},
        {QByteArrayLiteral("HALVEX_TZ"), m_settings->timezone().toLocal8Bit()},
    };

    log += QStringList{
        QStringLiteral("Environment variables:"),
        QStringLiteral("  HALVEX_AUTH_TOKEN: ") + instance.authToken.left(10) + QStringLiteral("***"),
        QStringLiteral("  HALVEX_DATA_DIR: ") + dataDirectory,
        QStringLiteral("  HALVEX_PORT: ") + QString::number(instance.port),
        QStringLiteral("  HALVEX_TZ: ") + m_settings->timezone(),
    };
    return environment;
}

QString InstanceManager::outputFile(const QUuid &id) const
{
    return m_outputDirectory + u'/' + id.toString(QUuid::WithoutBraces) + QStringLiteral(".log");
}

void InstanceManager::startInstance(const HalvexInstance &instance)
{
    // One server per instance: a second one would find its port taken and leave the first
    // unmanaged. The live state decides, not the caller's copy.
    const QUuid id = instance.id;
    const auto current = this->instance(id);
    if (instance.isRunning || m_servers.contains(id) || m_launcher->isLaunching(id) || (current && current->isRunning))
        return;
    const QUrl binary = m_settings->binaryPath();
    if (binary.isEmpty()) {
        addLog(id, QStringLiteral("Error: Halvex binary not configured. Please download and configure the binary in "
                                  "Settings."));
        emit launchEnded(id, false);
        return;
    }
    QStringList environmentLog;
    QByteArrayList environment = ServerProcess::environmentWith(serverEnvironment(instance, environmentLog));
    m_launcher->launch({instance, binary.toLocalFile(), DataDirectories(m_settings->dataStorageLocation()),
                        std::move(environment), std::move(environmentLog), outputFile(id), m_runRecords});
}

void InstanceManager::launched(const ServerLaunch::Outcome &outcome)
{
    const HalvexInstance &instance = outcome.instance;
    const QUuid id = instance.id;
    for (const QString &line : outcome.log)
        addLog(id, line);
    if (!outcome.pid) {
        emit launchEnded(id, false);
        return;
    }
    supervise(instance, ServerProcess::started(*outcome.pid));
    m_output->follow(id, outputFile(id), false);
    markInstanceRunning(id);
    addLog(id, QStringLiteral("✓ Instance '") + instance.name + QStringLiteral("' started on port ") +
                   QString::number(instance.port));
    addLog(id, QStringLiteral("Process ID: ") + QString::number(*outcome.pid));
    updateLocalDNS(instance, true);
    emit launchEnded(id, true);
}

ServerSupervisor *InstanceManager::supervise(const HalvexInstance &instance, ServerProcess *process)
{
    const QUuid id = instance.id;
    auto *supervisor =
        new ServerSupervisor(id, static_cast<quint16>(instance.port), process, m_output, m_stopDeadline, this);
    m_servers.insert(id, supervisor);
    connect(supervisor, &ServerSupervisor::ready, this, [this, id, supervisor] {
        const auto current = this->instance(id);
        addLog(id, QStringLiteral("✅ Instance '%1' is accepting connections on port %2")
                       .arg(current ? current->name : QString())
                       .arg(supervisor->port()));
        emit runStateChanged(id);
    });
    connect(supervisor, &ServerSupervisor::readinessOverdue, this, [this, id, supervisor] {
        addLog(id, QStringLiteral("⚠️ Port %1 is not accepting connections after %2 seconds")
                       .arg(supervisor->port())
                       .arg(ServerSupervisor::readinessDeadline.count()));
    });
    connect(supervisor, &ServerSupervisor::stopOverdue, this, [this, id] {
        addLog(id, QStringLiteral("⚠️ The server has not stopped %1 seconds after the request; Force Stop ends it")
                       .arg(std::chrono::ceil<std::chrono::seconds>(m_stopDeadline).count()));
        emit runStateChanged(id);
    });
    connect(supervisor, &ServerSupervisor::ended, this, [this, supervisor](const ServerExit &exit, bool duringStartup) {
        serverEnded(supervisor, exit, duringStartup);
    });
    return supervisor;
}

void InstanceManager::serverEnded(ServerSupervisor *supervisor, const ServerExit &exit, bool duringStartup)
{
    const QUuid id = supervisor->id();
    const bool stopRequested = supervisor->state() == ServerSupervisor::State::Stopping;
    m_servers.remove(id);
    supervisor->deleteLater();
    m_runRecords.remove(id);
    QFile::remove(outputFile(id));
    m_lastRuns.insert(id, LastRun{exit, duringStartup, QDateTime::currentDateTime()});

    addLog(id, QStringLiteral("Instance stopped"));
    if (duringStartup)
        addLog(id, QStringLiteral("❌ The server ended during start-up with ") + exit.describe());
    else if (exit.kind == ServerExit::Kind::Unknown)
        addLog(id, QStringLiteral("The server ended; its exit status is unknown (it was started by an earlier "
                                  "session)"));
    else
        addLog(id, QStringLiteral("The server ended with ") + exit.describe());
    markInstanceNotRunning(id);
    // A server that ended on its own gives its host name back, as a stopped one does.
    const auto current = instance(id);
    if (!stopRequested && current)
        updateLocalDNS(*current, false);
}

void InstanceManager::adoptSurvivingServers()
{
    for (const RunRecord &record : m_runRecords.readAll()) {
        const auto owner = instance(record.id);
        ServerProcess *process = record.isAlive() ? ServerProcess::adopt(record.pid) : nullptr;
        if (!process) {
            m_runRecords.remove(record.id);
            QFile::remove(record.outputFile);
            continue;
        }
        if (!owner || m_servers.contains(record.id)) {
            // A server of an instance deleted meanwhile: nothing could ever stop it otherwise.
            process->terminate();
            delete process;
            m_runRecords.remove(record.id);
            continue;
        }
        HalvexInstance adopted = *owner;
        adopted.port = record.port;
        supervise(adopted, process);
        m_output->follow(record.id, record.outputFile, true);
        setRunning(record.id, true);
        addLog(record.id, QStringLiteral("ℹ️ Instance '%1' was still running from an earlier session (PID %2); its "
                                         "earlier output cannot be shown")
                              .arg(owner->name)
                              .arg(record.pid));
    }
}

void InstanceManager::stopInstance(const HalvexInstance &instance)
{
    m_launcher->finish(instance.id);
    ServerSupervisor *server = m_servers.value(instance.id);
    if (!server || server->state() == ServerSupervisor::State::Stopping)
        return;
    addLog(instance.id, QStringLiteral("Stopping instance '") + instance.name + QStringLiteral("'..."));
    server->stop();
    updateLocalDNS(instance, false);
    emit runStateChanged(instance.id);
}

void InstanceManager::forceStopInstance(const QUuid &id)
{
    ServerSupervisor *server = m_servers.value(id);
    if (!server || server->state() != ServerSupervisor::State::Stopping)
        return;
    addLog(id, QStringLiteral("Force stopping the server (SIGKILL)..."));
    server->forceStop();
}

void InstanceManager::stopAllInstances()
{
    m_startQueue->clear();
    m_launcher->finishAll();
    // In list order. The server of a deleted instance was asked to stop by the delete.
    const QList<HalvexInstance> snapshot = m_instances;
    for (const HalvexInstance &instance : snapshot)
        stopInstance(instance);
}

bool InstanceManager::isLaunching(const QUuid &id) const
{
    return m_launcher->isLaunching(id);
}

bool InstanceManager::hasProcess(const QUuid &id) const
{
    return m_servers.contains(id);
}

InstanceManager::RunState InstanceManager::runState(const QUuid &id) const
{
    const ServerSupervisor *server = m_servers.value(id);
    if (!server)
        return RunState::Stopped;
    switch (server->state()) {
    case ServerSupervisor::State::Starting:
        return RunState::Starting;
    case ServerSupervisor::State::Running:
        return RunState::Running;
    case ServerSupervisor::State::Stopping:
        break;
    }
    return RunState::Stopping;
}

std::optional<qint64> InstanceManager::processId(const QUuid &id) const
{
    const ServerSupervisor *server = m_servers.value(id);
    return server ? std::optional<qint64>(server->pid()) : std::nullopt;
}

std::optional<QDateTime> InstanceManager::runningSince(const QUuid &id) const
{
    const ServerSupervisor *server = m_servers.value(id);
    return server ? std::optional<QDateTime>(server->since()) : std::nullopt;
}

bool InstanceManager::isStopOverdue(const QUuid &id) const
{
    const ServerSupervisor *server = m_servers.value(id);
    return server && server->isStopOverdue();
}

std::optional<InstanceManager::LastRun> InstanceManager::lastRun(const QUuid &id) const
{
    const auto found = m_lastRuns.constFind(id);
    return found == m_lastRuns.cend() ? std::nullopt : std::optional<LastRun>(*found);
}

void InstanceManager::setRunning(const QUuid &id, bool running)
{
    const auto position = m_positions.constFind(id);
    if (position == m_positions.cend())
        return;
    HalvexInstance &record = m_instances[*position];
    const char *marker = running ? "🟢" : "🔴";
    std::printf("%s Marking instance as %s: %s\n", marker, running ? "RUNNING" : "NOT RUNNING",
                qUtf8Printable(record.name));
    record.isRunning = running;
    emit runStateChanged(id);
    std::printf("%s Instance state updated: isRunning = %s\n", marker, running ? "true" : "false");
    std::fflush(stdout);
}

void InstanceManager::markInstanceRunning(const QUuid &id)
{
    setRunning(id, true);
}

void InstanceManager::markInstanceNotRunning(const QUuid &id)
{
    setRunning(id, false);
}

void InstanceManager::updateLocalDNS(const HalvexInstance &instance, bool add)
{
    if (!m_hostNames)
        return;
    const QUuid id = instance.id;
    const QString hint =
        QStringLiteral("💡 Database is still accessible at http://localhost:") + QString::number(instance.port);
    const QString configured = QStringLiteral("✓ Local DNS configured: ") + instance.hostName();
    m_hostNames->update(
        instance, add, this, [this, id, hint, configured](LocalHostNames::Outcome outcome, const QString &message) {
            switch (outcome) {
            case LocalHostNames::Outcome::Configured:
                addLog(id, configured);
                return;
            case LocalHostNames::Outcome::Cancelled:
                addLog(id, QStringLiteral("ℹ️ Local DNS not configured (admin password cancelled)"));
                break;
            case LocalHostNames::Outcome::Failed:
                addLog(id, QStringLiteral("⚠️ Could not update /etc/hosts: ") +
                               (message.isEmpty() ? QStringLiteral("unknown error") : message));
                break;
            case LocalHostNames::Outcome::InvalidName:
                addLog(id, QStringLiteral("⚠️ Could not update /etc/hosts: invalid instance name"));
                break;
            }
            addLog(id, hint);
        });
}

void InstanceManager::addLog(const QUuid &id, const QString &message)
{
    announce(id, m_logs.add(id, message));
}

void InstanceManager::announce(const QUuid &id, const InstanceLogs::Appended &appended)
{
    emit logAppended(id, appended.entry, appended.dropped);
}

void InstanceManager::clearLogs(const QUuid &id)
{
    m_logs.clear(id);
    emit logCleared(id);
}

QString InstanceManager::dataDirectoryPath(const HalvexInstance &instance) const
{
    return m_directories.path(instance.name);
}

void InstanceManager::createDataDirectory(const HalvexInstance &instance)
{
    for (const QString &line : m_directories.create(instance))
        addLog(instance.id, line);
}

bool InstanceManager::willRemoveDataDirectory(const HalvexInstance &instance) const
{
    return m_directories.isOwn(instance);
}

void InstanceManager::removeDataDirectory(const HalvexInstance &instance)
{
    // The instance's log went with it: what became of the directory is told on standard output.
    if (m_directories.remove(instance) != DataDirectories::Removal::Kept)
        return;
    std::printf("ℹ️ Data directory of '%s' kept, since Halvex Kelvane did not create it: %s\n",
                qUtf8Printable(instance.name), qUtf8Printable(dataDirectoryPath(instance)));
    std::fflush(stdout);
}

void InstanceManager::setStartsAtLaunch(const QUuid &id, bool start)
{
    // A mark for an id the registry does not hold would start nothing and never go away.
    if (start && !m_positions.contains(id))
        return;
    QString error;
    if (!m_autostart.set(id, start, &error))
        emit saveFailed(error);
}

void InstanceManager::startMarkedInstances()
{
    QList<QUuid> marked;
    for (const HalvexInstance &instance : std::as_const(m_instances)) {
        if (m_autostart.contains(instance.id) && !hasProcess(instance.id))
            marked.append(instance.id);
    }
    m_startQueue->start(marked);
}

void InstanceManager::startAllInstances()
{
    QList<QUuid> stopped;
    for (const HalvexInstance &instance : std::as_const(m_instances)) {
        if (!hasProcess(instance.id))
            stopped.append(instance.id);
    }
    m_startQueue->start(stopped);
}
