// SPDX-License-Identifier: MIT
#include "AppSettings.h"

#include "JsonFields.h"
#include "StorageLocation.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

AppSettings::AppSettings(const AppPaths &paths, QObject *parent)
    : QObject(parent)
    , m_file(paths.settingsFile())
    , m_dataStorageLocation(defaultDataStorageLocation())
    , m_timezone(defaultTimezone())
{
    m_file.removeStaleTemporaries();
    const auto bytes = m_file.read();
    if (!bytes)
        return;
    QString error;
    m_stored = decode(*bytes, &error);
    if (!m_stored) {
        m_file.markUndecodable(error);
        return;
    }
    QTimer::singleShot(0, this, &AppSettings::applyStoredValues);
}

QUrl AppSettings::defaultDataStorageLocation()
{
    return QUrl::fromLocalFile(QDir::homePath() + QStringLiteral("/Halvex"));
}

std::optional<AppSettings::Values> AppSettings::decode(const QByteArray &bytes, QString *error)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    JsonFields fields(document.object());
    Values values;
    const QString location = fields.string(QStringLiteral("dataStorageLocation"));
    values.binaryPath = fields.optionalUrl(QStringLiteral("binaryPath")).value_or(QUrl());
    values.timezone = fields.optionalString(QStringLiteral("timezone")).value_or(defaultTimezone());
    if (!fields.ok()) {
        *error = fields.error();
        return std::nullopt;
    }
    // A location that is no folder of this machine is refused alone: the other two values are
    // still good, and the default location is a safe one.
    values.dataStorageLocation = QUrl(location, QUrl::StrictMode);
    if (!StorageLocation::isValid(values.dataStorageLocation)) {
        std::fprintf(stderr, "settings.json: the data storage location \"%s\" was refused. %s.\n",
                     qUtf8Printable(location), qUtf8Printable(StorageLocation::requirement()));
        values.dataStorageLocation = defaultDataStorageLocation();
    }
    return values;
}

void AppSettings::applyStoredValues()
{
    if (!m_stored)
        return;
    const Values values = *std::exchange(m_stored, std::nullopt);
    m_dataStorageLocation = values.dataStorageLocation;
    m_binaryPath = values.binaryPath;
    m_timezone = values.timezone;
    emit changed();
}

void AppSettings::setDataStorageLocation(const QUrl &location)
{
    applyStoredValues();
    if (location == m_dataStorageLocation)
        return;
    m_dataStorageLocation = location;
    emit changed();
}

void AppSettings::setBinaryPath(const QUrl &path)
{
    applyStoredValues();
    if (path == m_binaryPath)
        return;
    m_binaryPath = path;
    emit changed();
}

void AppSettings::setTimezone(const QString &timezone)
{
    applyStoredValues();
    if (timezone == m_timezone)
        return;
    m_timezone = timezone;
    emit changed();
}

bool AppSettings::save()
{
    applyStoredValues();
    const QJsonObject object{
        {QStringLiteral("dataStorageLocation"), m_dataStorageLocation.toString(QUrl::FullyEncoded)},
        {QStringLiteral("binaryPath"),
         m_binaryPath.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(m_binaryPath.toString(QUrl::FullyEncoded))},
        {QStringLiteral("timezone"), m_timezone},
    };
    QString error;
    if (m_file.write(QJsonDocument(object).toJson(QJsonDocument::Compact), &error)) {
        m_saveFailure.clear();
        return true;
    }
    if (std::exchange(m_saveFailure, error) != error)
        emit saveFailed(error);
    return false;
}
