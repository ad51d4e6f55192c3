// SPDX-License-Identifier: MIT
#pragma once

#include "AppPaths.h"
#include "StateFile.h"

#include <QObject>
#include <QUrl>

#include <optional>

// The three application-wide settings, kept in settings.json. Stored values are applied one turn
// of the event loop after creation, so a first reader sees the defaults and observers are told
// when the stored values arrive.
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl dataStorageLocation READ dataStorageLocation WRITE setDataStorageLocation NOTIFY changed)
    Q_PROPERTY(QUrl binaryPath READ binaryPath WRITE setBinaryPath NOTIFY changed)
    Q_PROPERTY(QString timezone READ timezone WRITE setTimezone NOTIFY changed)

public:
    explicit AppSettings(const AppPaths &paths, QObject *parent = nullptr);

    static QUrl defaultDataStorageLocation();
    static QString defaultTimezone() { return QStringLiteral("Europe/Vienna"); }

    QUrl dataStorageLocation() const { return m_dataStorageLocation; }
    // An empty URL means that no executable is configured.
    QUrl binaryPath() const { return m_binaryPath; }
    QString timezone() const { return m_timezone; }

    void setDataStorageLocation(const QUrl &location);
    void setBinaryPath(const QUrl &path);
    void setTimezone(const QString &timezone);

    // Writes all three values. Returns whether the file was written; a failure is announced by
    // saveFailed, once until a save succeeds again.
    bool save();

    QString settingsFilePath() const { return m_file.path(); }

signals:
    void changed();
    // "Could not save settings.json: <reason>"
    void saveFailed(const QString &message);

private:
    struct Values
    {
        QUrl dataStorageLocation;
        QUrl binaryPath;
        QString timezone;
    };
    static std::optional<Values> decode(const QByteArray &bytes, QString *error);
    // Applies the stored values if they have not been applied yet. Runs on the event-loop turn
    // after creation, or earlier when a caller writes before that turn came: a change or a save
    // must never be undone by, or write over, stored values that have not arrived yet.
    void applyStoredValues();

    StateFile m_file;
    QString m_saveFailure; // of the last save, when it failed
    std::optional<Values> m_stored;
    QUrl m_dataStorageLocation;
    QUrl m_binaryPath;
    QString m_timezone;
};
