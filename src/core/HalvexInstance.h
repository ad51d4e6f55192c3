// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

// One managed server instance: a plain value, compared and hashed over all seven fields.
struct HalvexInstance
{
    // The registry file stores dates as reference seconds; the export file as ISO 8601 text.
    enum class DateForm { ReferenceSeconds, Iso8601 };

    QUuid id;
    QString name;
    QString authToken;
    qint64 port = 0;
    bool isRunning = false;
    double createdAt = 0; // seconds since 2001-01-01 00:00:00 UTC
    double updatedAt = 0;

    // A new record with a fresh random id, not running, created and updated now.
    static HalvexInstance create(const QString &name, const QString &authToken, qint64 port);

    // "http://<name>.halvex.local:<port>", the name exactly as stored.
    QString localURL() const;
    // "<name>.halvex.local"
    QString hostName() const;

    QJsonObject toJson(DateForm form = DateForm::ReferenceSeconds) const;
    // The registry form of toJson(), written compactly straight into out: the registry is
    // rewritten whole after every change, and building JSON objects first costs most of that.
    void appendCompactJson(QByteArray &out) const;
    // Every one of the seven keys must be present with its type; other keys are ignored.
    static std::optional<HalvexInstance> fromJson(const QJsonObject &object, DateForm form = DateForm::ReferenceSeconds,
                                                  QString *error = nullptr);

    // Empty when the name and the port are ones the instance form accepts; otherwise a sentence
    // naming the field at fault. Readers of stored records refuse a record that fails it.
    QString validationError() const;

    friend bool operator==(const HalvexInstance &, const HalvexInstance &) = default;

private:
    // appendCompactJson() for a name or token with characters that are escaped or not ASCII.
    void appendEscapedJson(QByteArray &out) const;
};

// Lists of thousands of records grow by moving their bytes, not each record.
Q_DECLARE_TYPEINFO(HalvexInstance, Q_RELOCATABLE_TYPE);

size_t qHash(const HalvexInstance &instance, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(HalvexInstance)
