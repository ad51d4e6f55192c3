// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class AppSettings;
class FileChooser;
class InstanceManager;
struct ExportConfiguration;

// Exports the whole configuration (instances and the two portable settings) to a JSON file and
// imports it again.
class ImportExportManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    using ExportCompletion = std::function<void(bool written)>;
    using ImportCompletion = std::function<void(bool success, int imported, int skipped)>;

    ImportExportManager(AppSettings *settings, InstanceManager *instances, FileChooser *fileChooser,
                        QObject *parent = nullptr);

    // Empty when the last export or import did not fail.
    QString lastError() const { return m_lastError; }

    // Both return at once; the outcome arrives later through the completion, on the event loop.
    // A cancelled chooser gives false, or (false, 0, 0), and leaves lastError as it was.
    void exportConfiguration(ExportCompletion completion = {});
    void importConfiguration(ImportCompletion completion = {});

    // The same export and import for a path already chosen (the command line's): same checks,
    // effects, messages and completions. The export writes exactly the path given.
    void exportTo(const QString &path, ExportCompletion completion = {});
    void importFrom(const QString &path, ImportCompletion completion = {});

    // What the user is told of a completed import.
    static QString importSummary(int imported, int skipped);

signals:
    void lastErrorChanged();
    // An export wrote the file at path with this many instances, just before its completion runs.
    void exported(const QString &path, int instanceCount);

private:
    void applyImport(const ExportConfiguration &configuration, const ImportCompletion &completion);
    void setLastError(const QString &error);

    AppSettings *m_settings;
    InstanceManager *m_instances;
    FileChooser *m_fileChooser;
    QString m_lastError;
};
