#include "InstanceManager.h"

#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/InstanceName.h"
#include "core/ReferenceDate.h"
#include "core/StateFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>

InstanceManager::InstanceManager(AppSettings *settings, const QString &registryFile, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_registry(std::make_unique<StateFile>(registryFile))
{
    loadInstances();
}

InstanceManager::~InstanceManager() = default;

InstanceManager *InstanceManager::shared()
{
    static InstanceManager *const instance =
        new InstanceManager(AppSettings::shared(), AppPaths::standard().registryFile());
    return instance;
}

std::optional<HalvexInstance> InstanceManager::instance(const QUuid &id) const
{
    for (const HalvexInstance &instance : m_instances) {
        if (instance.id == id)
            return instance;
    }
    return std::nullopt;
}

void InstanceManager::loadInstances()
{
    const auto bytes = m_registry->read();
    if (!bytes)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes);
    if (!document.isArray()) {
        m_registry->markUndecodable();
        return;
    }
    QList<HalvexInstance> loaded;
    for (const QJsonValue &value : document.array()) {
        auto instance = HalvexInstance::fromJson(value.toObject());
        if (!value.isObject() || !instance) {
            m_registry->markUndecodable();
            return;
        }
        // No process of this run can belong to a stored record: a flag saved while its server
        // ran would otherwise leave the record "running" for ever, unstartable and unstoppable.
        instance->isRunning = false;
        loaded.append(*instance);
    }
    m_instances = loaded;
    emit instancesChanged();
}

bool InstanceManager::saveInstances()
{
    QJsonArray array;
    for (const HalvexInstance &instance : std::as_const(m_instances))
        array.append(instance.toJson());
    return m_registry->write(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void InstanceManager::addInstance(const HalvexInstance &instance)
{
    HalvexInstance added = instance;
    added.updatedAt = ReferenceDate::now();
    m_instances.append(added);
    emit instancesChanged();
    saveInstances();
    createDataDirectory(added);
}

void InstanceManager::updateInstance(const HalvexInstance &instance)
{
    const auto found = std::find_if(m_instances.begin(), m_instances.end(),
                                    [&instance](const HalvexInstance &stored) { return stored.id == instance.id; });
    if (found == m_instances.end())
        return;
    HalvexInstance updated = instance;
    updated.updatedAt = ReferenceDate::now();
    *found = updated;
    emit instancesChanged();
    saveInstances();
}

void InstanceManager::deleteInstance(const HalvexInstance &instance)
{
    if (instance.isRunning)
        stopInstance(instance);
    m_instances.removeIf([&instance](const HalvexInstance &stored) { return stored.id == instance.id; });
    emit instancesChanged();
    m_logs.remove(instance.id);
    emit logsChanged(instance.id);
    saveInstances();
    removeDataDirectory(instance);
}

void InstanceManager::startInstance(const HalvexInstance &instance)
{
    Q_UNUSED(instance);
}

void InstanceManager::stopInstance(const HalvexInstance &instance)
{
    Q_UNUSED(instance);
}

void InstanceManager::stopAllInstances() {}

void InstanceManager::markInstanceRunning(const QUuid &id)
{
    Q_UNUSED(id);
}

void InstanceManager::markInstanceNotRunning(const QUuid &id)
{
    Q_UNUSED(id);
}

void InstanceManager::updateLocalDNS(const HalvexInstance &instance, bool add)
{
    Q_UNUSED(instance);
    Q_UNUSED(add);
}

bool InstanceManager::hasProcess(const QUuid &id) const
{
    Q_UNUSED(id);
    return false;
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
    return QDir::cleanPath(m_settings->dataStorageLocation().toLocalFile()) + u'/' + instance.name;
}

void InstanceManager::createDataDirectory(const HalvexInstance &instance)
{
    const QString path = dataDirectoryPath(instance);
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
