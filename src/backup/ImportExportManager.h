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

signals:
    void lastErrorChanged();

private:
    void writeExport(QString path, ExportCompletion completion);
    void readImport(const QString &path, ImportCompletion completion);
    void applyImport(const ExportConfiguration &configuration, const ImportCompletion &completion);
    void setLastError(const QString &error);

    AppSettings *m_settings;
    InstanceManager *m_instances;
    FileChooser *m_fileChooser;
    QString m_lastError;
};
