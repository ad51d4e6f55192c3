// SPDX-License-Identifier: MIT
#include "ImportExportManager.h"

#include "ExportConfiguration.h"
#include "core/AppSettings.h"
#include "core/InstanceConflicts.h"
#include "core/ReferenceDate.h"
#include "core/StateFile.h"
#include "instances/InstanceManager.h"
#include "platform/FileChooser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace {

const QString jsonFilter = QStringLiteral("JSON files (*.json)");

} // namespace

ImportExportManager::ImportExportManager(AppSettings *settings, InstanceManager *instances, FileChooser *fileChooser,
                                         QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_instances(instances)
    , m_fileChooser(fileChooser)
{}

void ImportExportManager::setLastError(const QString &error)
{
    if (error == m_lastError)
        return;
    m_lastError = error;
    emit lastErrorChanged();
}

void ImportExportManager::exportConfiguration(ExportCompletion completion)
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::SaveFile;
    request.title = QStringLiteral("Export Halvex Configuration");
    request.message = QStringLiteral("Choose where to save your configuration");
    request.nameFilters = {jsonFilter};
    request.suggestedName = QStringLiteral("halvex-config-") +
                            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmm")) +
                            QStringLiteral(".json");
    request.directory = QDir::homePath();
    m_fileChooser->choose(request, this, [this, completion = std::move(completion)](const QString &path) {
        if (path.isEmpty()) {
            if (completion)
                completion(false);
            return;
        }
        // The chooser promises a name with the JSON extension.
        exportTo(path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".json"),
                 completion);
    });
}

void ImportExportManager::exportTo(const QString &path, ExportCompletion completion)
{
    ExportConfiguration configuration;
    configuration.version = ExportConfiguration::currentVersion();
    configuration.exportedAt = ReferenceDate::now();
    configuration.dataStorageLocation = m_settings->dataStorageLocation();
    configuration.timezone = m_settings->timezone();
    configuration.instances = m_instances->instances();

    // The file holds every instance's token: written whole or not at all, readable by the owner only.
    QString error;
    const bool written = StateFile::writeAtomically(path, configuration.encode(), &error);
    const QString outcome =
        written ? QString()
                : QStringLiteral("Export failed: could not write %1: %2").arg(QDir::toNativeSeparators(path), error);
    QMetaObject::invokeMethod(
        this,
        [this, written, outcome, path, count = int(configuration.instances.size()),
         completion = std::move(completion)] {
            setLastError(outcome);
            if (written)
                emit exported(path, count);
            if (completion)
                completion(written);
        },
        Qt::QueuedConnection);
}

void ImportExportManager::importConfiguration(ImportCompletion completion)
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenFile;
    request.title = QStringLiteral("Import Halvex Configuration");
    request.message = QStringLiteral("Select a configuration file to import");
    request.nameFilters = {jsonFilter};
    request.directory = QDir::homePath();
    m_fileChooser->choose(request, this, [this, completion = std::move(completion)](const QString &path) {
        if (path.isEmpty()) {
            if (completion)
                completion(false, 0, 0);
            return;
        }
        importFrom(path, completion);
    });
}

void ImportExportManager::importFrom(const QString &path, ImportCompletion completion)
{
    // The whole file is decoded before anything changes, so a bad file changes nothing.
    QString error;
    std::optional<ExportConfiguration> configuration;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        error = QStringLiteral("could not read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    else
        configuration = ExportConfiguration::decode(file.readAll(), &error);

    QMetaObject::invokeMethod(
        this,
        [this, configuration, error, completion = std::move(completion)] {
            if (!configuration) {
                setLastError(QStringLiteral("Import failed: ") + error);
                if (completion)
                    completion(false, 0, 0);
                return;
            }
            applyImport(*configuration, completion);
        },
        Qt::QueuedConnection);
}

QString ImportExportManager::importSummary(int imported, int skipped)
{
    return skipped > 0
               ? QStringLiteral("Imported %1 instance(s). Skipped %2 due to conflicts.").arg(imported).arg(skipped)
               : QStringLiteral("Successfully imported %1 instance(s).").arg(imported);
}

void ImportExportManager::applyImport(const ExportConfiguration &configuration, const ImportCompletion &completion)
{
    // Settings first, so that the data directories of the added instances land under the
    // imported storage location. A failed settings write leaves the new values in effect.
    m_settings->setDataStorageLocation(configuration.dataStorageLocation);
    m_settings->setTimezone(configuration.timezone);
    m_settings->save();

    // Checked and added in one turn of the event loop: nothing can add a conflicting instance
    // between the check and the addition. An accepted instance takes its name and port, so one
    // file can never produce two instances that share either. Added as one batch: one registry
    // write and one change of the list, however many instances the file holds.
    InstanceConflicts conflicts(m_instances->instances());
    int skipped = 0;
    QList<HalvexInstance> accepted;
    for (const HalvexInstance &incoming : configuration.instances) {
        if (conflicts.check(incoming.name, incoming.port) != InstanceConflicts::Conflict::None) {
            ++skipped;
            continue;
        }
        conflicts.take(incoming.name, incoming.port);
        HalvexInstance added = incoming;
        added.id = QUuid::createUuid();
        added.isRunning = false;
        accepted.append(added);
    }
    m_instances->addInstances(accepted);

    setLastError(QString());
    if (completion)
        completion(true, static_cast<int>(accepted.size()), skipped);
}
