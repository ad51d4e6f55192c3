#pragma once

#include <QObject>
#include <QString>

#include <functional>

class AppSettings;
class FileChooser;
class InstanceManager;

// Exports the whole configuration (instances and the two portable settings) to a JSON file and
// imports it again.
class ImportExportManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    ImportExportManager(AppSettings *settings, InstanceManager *instances, FileChooser *fileChooser,
                        QObject *parent = nullptr);

    // The one manager of the application; never destroyed.
    static ImportExportManager *shared();

    static QString currentVersion() { return QStringLiteral("1.2"); }
    // Empty when the last export or import did not fail.
    QString lastError() const { return m_lastError; }

    void exportConfiguration(std::function<void(bool written)> completion = {});
    void importConfiguration(std::function<void(bool success, int imported, int skipped)> completion = {});

signals:
    void lastErrorChanged();

private:
    QString m_lastError;
};
