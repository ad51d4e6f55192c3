// SPDX-License-Identifier: MIT
#include "InstanceManager.h"

#include "core/AppSettings.h"
#include "core/InstanceName.h"
#include "core/ReferenceDate.h"
#include "core/StateFile.h"
#include "instances/ExecutableProbe.h"
#include "instances/InstanceProcess.h"
#include "instances/LocalHostNames.h"
#include "platform/Quarantine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <filesystem>

namespace {

// Time that one turn of the event loop may spend making data directories of a batch: half a frame,
// so that the window keeps drawing whatever the disk's speed.
constexpr qint64 directorySliceNanoseconds = 8'000'000;

} // namespace

InstanceManager::InstanceManager(AppSettings *settings, const QString &registryFile, LocalHostNames *hostNames,
                                 QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_registry(std::make_unique<StateFile>(registryFile))
    , m_hostNames(hostNames)
{
    m_registry->removeStaleTemporaries();
    m_directoryTimer.setSingleShot(true);
    m_directoryTimer.setInterval(0);
    connect(&m_directoryTimer, &QTimer::timeout, this, &InstanceManager::createPendingDirectories);
    loadInstances();
}

InstanceManager::~InstanceManager() = default;

std::optional<HalvexInstance> InstanceManager::instance(const QUuid &id) const
{
    const auto found = m_positions.constFind(id);
    if (found == m_positions.cend())
        return std::nullopt;
    return m_instances.at(*found);
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

void InstanceManager::loadInstances()
{
    const auto bytes = m_registry->read();
    if (!bytes)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes);
    if (!document.isArray()) {
        m_registry->markUndecodable(QStringLiteral("not a JSON array"));
        return;
    }
    const QJsonArray records = document.array();
    QList<HalvexInstance> loaded;
    for (qsizetype i = 0; i < records.size(); ++i) {
        QString error = QStringLiteral("not an object");
        auto instance =
            records[i].isObject()
                ? HalvexInstance::fromJson(records[i].toObject(), HalvexInstance::DateForm::ReferenceSeconds, &error)
                : std::nullopt;
        // A name or port put in by hand must not reach a path, a host name or a launch.
        if (instance)
            error = instance->validationError();
        if (!error.isEmpty()) {
            m_registry->markUndecodable(QStringLiteral("record %1: ").arg(i + 1) + error);
            return;
        }
        // No process of this run can belong to a stored record: a flag saved while its server
        // ran would otherwise leave the record "running" for ever, unstartable and unstoppable.
        instance->isRunning = false;
        loaded.append(*instance);
    }
    m_instances = loaded;
    reindex();
    emit instancesReset();
}

bool InstanceManager::saveInstances()
{
    QString error;
    if (m_registry->write(m_encoder.encode(m_instances), &error)) {
        m_saveFailure.clear();
        return true;
    }
    if (std::exchange(m_saveFailure, error) != error)
        emit saveFailed(error);
    return false;
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

void InstanceManager::updateInstance(const HalvexInstance &instance)
{
    const auto found = m_positions.constFind(instance.id);
    if (found == m_positions.cend())
        return;
    HalvexInstance updated = instance;
    updated.updatedAt = ReferenceDate::now();
    m_instances[*found] = updated;
    emit instanceUpdated(instance.id);
    saveInstances();
}

void InstanceManager::deleteInstance(const HalvexInstance &instance)
{
    if (instance.isRunning)
        stopInstance(instance);
    if (m_instances.removeIf([&instance](const HalvexInstance &stored) { return stored.id == instance.id; }) > 0) {
        reindex();
        emit instanceRemoved(instance.id);
    }
    m_logs.remove(instance.id);
    emit logsChanged(instance.id);
    saveInstances();
    removeDataDirectory(instance);
}

bool InstanceManager::verifyExecutable(const HalvexInstance &instance, const QString &path)
{
    const QUuid id = instance.id;
    addLog(id, QStringLiteral("Verifying binary: ") + path);
    // Reading anything but a regular file can block for ever (a named pipe waits for a writer).
    if (const auto kind = ExecutableProbe::notRegularFile(path)) {
        addLog(id, QStringLiteral("❌ ERROR: Binary is ") + *kind + QStringLiteral(", not a regular file"));
        addLog(id, QStringLiteral("Please download or select a valid binary in Settings."));
        return false;
    }
    if (const auto description = ExecutableProbe::fileDescription(path))
        addLog(id, QStringLiteral("Binary type: ") + *description);

    const QString architectures = ExecutableProbe::architectures(path);
    addLog(id, QStringLiteral("Binary architectures: ") + architectures);
    if (!architectures.contains(QStringLiteral("x86_64"))) {
        addLog(id, QStringLiteral("❌ ERROR: Binary doesn't support x86_64 architecture!"));
        addLog(id, QStringLiteral("You need a binary with x86_64 support for your Mac"));
        return false;
    }
    addLog(id, QStringLiteral("✅ Architecture check passed (x86_64)"));

    if (!ExecutableProbe::isExecutable(path)) {
        addLog(id, QStringLiteral("⚠️ Warning: Binary may not be executable (attempting anyway)"));
        if (const auto permissions = ExecutableProbe::permissions(path)) {
            addLog(id, QStringLiteral("Current permissions: ") + *permissions);
            if (Quarantine::isMarked(path)) {
                addLog(id, QStringLiteral("⚠️ File has quarantine attribute - this may cause issues"));
                addLog(id, QStringLiteral("To fix: xattr -d com.apple.quarantine \"") + path + u'"');
            }
        }
        addLog(id, QStringLiteral("If this fails, run: chmod +x \"") + path + u'"');
    }
    return true;
}

QProcessEnvironment InstanceManager::serverEnvironment(const HalvexInstance &instance)
{
    const QString dataDirectory = dataDirectoryPath(instance);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HALVEX_AUTH_TOKEN"), instance.authToken);
    environment.insert(QStringLiteral("HALVEX_DATA_DIR"), dataDirectory);
    environment.insert(QStringLiteral("HALVEX_PORT"), QString::number(instance.port));
    environment.insert(QStringLiteral("HALVEX_TZ"), m_settings->timezone());

    addLog(instance.id, QStringLiteral("Environment variables:"));
    addLog(instance.id, QStringLiteral("  HALVEX_AUTH_TOKEN: ") + instance.authToken.left(10) + QStringLiteral("***"));
    addLog(instance.id, QStringLiteral("  HALVEX_DATA_DIR: ") + dataDirectory);
    addLog(instance.id, QStringLiteral("  HALVEX_PORT: ") + QString::number(instance.port));
    addLog(instance.id, QStringLiteral("  HALVEX_TZ: ") + m_settings->timezone());
    return environment;
}

void InstanceManager::startInstance(const HalvexInstance &instance)
{
    // A second process for one instance would orphan the first, so a start waits for the exit.
    if (instance.isRunning || m_processes.contains(instance.id))
        return;
    const QUuid id = instance.id;
    const QUrl binary = m_settings->binaryPath();
    if (binary.isEmpty()) {
        addLog(id, QStringLiteral("Error: Halvex binary not configured. Please download and configure the binary in "
                                  "Settings."));
        return;
    }
    const QString path = binary.toLocalFile();
    if (!QFileInfo::exists(path)) {
        addLog(id, QStringLiteral("Error: Halvex binary not found at path: ") + path);
        addLog(id, QStringLiteral("Please download or select a valid binary in Settings."));
        return;
    }
    if (!verifyExecutable(instance, path))
        return;
    createDataDirectory(instance);

    auto *process = new InstanceProcess(path, serverEnvironment(instance), this);
    m_processes.insert(id, process);
    connect(process, &InstanceProcess::output, this, [this, id](const QString &text) { addLog(id, text); });
    connect(process, &InstanceProcess::failedToStart, this, [this, id, process](const QString &reason) {
        if (m_processes.value(id) == process)
            m_processes.remove(id);
        addLog(id, QStringLiteral("Failed to start instance: ") + reason);
    });
    connect(process, &InstanceProcess::started, this, [this, instance, process] {
        markInstanceRunning(instance.id);
        addLog(instance.id, QStringLiteral("✓ Instance '") + instance.name + QStringLiteral("' started on port ") +
                                QString::number(instance.port));
        addLog(instance.id, QStringLiteral("Process ID: ") + QString::number(process->processId()));
        updateLocalDNS(instance, true);
    });
    connect(process, &InstanceProcess::exited, this, [this, id, process] {
        addLog(id, QStringLiteral("Instance stopped"));
        markInstanceNotRunning(id);
        if (m_processes.value(id) == process)
            m_processes.remove(id);
    });
    process->start();
}

void InstanceManager::stopInstance(const HalvexInstance &instance)
{
    if (!instance.isRunning)
        return;
    const QPointer<InstanceProcess> process = m_processes.value(instance.id);
    if (!process)
        return;
    addLog(instance.id, QStringLiteral("Stopping instance '") + instance.name + QStringLiteral("'..."));
    process->terminate();
    updateLocalDNS(instance, false);
}

void InstanceManager::stopAllInstances()
{
    const QList<HalvexInstance> snapshot = m_instances;
    for (const HalvexInstance &instance : snapshot)
        stopInstance(instance);
}

bool InstanceManager::hasProcess(const QUuid &id) const
{
    return !m_processes.value(id).isNull();
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
    emit runStateChanged(id, running);
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
    m_logs.add(id, message);
    emit logsChanged(id);
}

void InstanceManager::clearLogs(const QUuid &id)
{
    m_logs.clear(id);
    emit logsChanged(id);
}

QString InstanceManager::dataDirectoryPath(const HalvexInstance &instance) const
{
    // Such a name could climb out of the storage location ("../x") or name the location itself.
    if (!InstanceName::isValid(instance.name))
        return {};
    return QDir::cleanPath(m_settings->dataStorageLocation().toLocalFile()) + u'/' + instance.name;
}

void InstanceManager::createDataDirectory(const HalvexInstance &instance)
{
    const QString path = dataDirectoryPath(instance);
    if (path.isEmpty()) {
        addLog(instance.id, QStringLiteral("⚠️ Warning: Could not create data directory: invalid instance name"));
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (!error) {
        addLog(instance.id, QStringLiteral("✓ Data directory created: ") + path);
        return;
    }
    addLog(instance.id, QStringLiteral("⚠️ Warning: Could not create data directory: ") +
                            QString::fromLocal8Bit(error.message()));
    addLog(instance.id, QStringLiteral("Path: ") + path);
    if (path.contains(QStringLiteral("/Desktop/")) || path.contains(QStringLiteral("/Documents/"))) {
        addLog(instance.id, QStringLiteral("💡 Tip: Desktop and Documents folders require special permissions."));
        addLog(instance.id, QStringLiteral("   Either:"));
        addLog(instance.id, QStringLiteral("   1. Change data location to ~/Halvex in Settings"));
        addLog(instance.id, QStringLiteral("   2. Grant Full Disk Access in System Settings > Privacy & Security"));
    }
}

void InstanceManager::removeDataDirectory(const HalvexInstance &instance)
{
    // Only ever a direct child of the storage location: a name such as "..", "" or "a/b" would
    // otherwise point the recursive removal at the location itself, its parent or elsewhere.
    const QUrl location = m_settings->dataStorageLocation();
    if (!InstanceName::isValid(instance.name) || !location.isLocalFile() || location.toLocalFile().isEmpty())
        return;
    std::error_code ignored;
    // remove_all removes a symbolic link itself, never what it points to.
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(dataDirectoryPath(instance)).toStdString()),
                                ignored);
}
