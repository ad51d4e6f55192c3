// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// Strict, typed reading of the members of one JSON object. The first problem met is kept as a
// sentence naming the key, so that a refused file can say what is wrong with it.
class JsonFields
{
public:
    explicit JsonFields(const QJsonObject &object);

    QString string(const QString &key);
    // Absent and null both read as "no value"; any other non-string is a problem.
    std::optional<QString> optionalString(const QString &key);
    qint64 integer(const QString &key);
    bool boolean(const QString &key);
    // UUID text in the 8-4-4-4-12 form, any letter case.
    QUuid uuid(const QString &key);
    // An absolute URL given as a string, e.g. file:///home/ann/Halvex.
    QUrl url(const QString &key);
    std::optional<QUrl> optionalUrl(const QString &key);
    // Reference seconds as a number, in the years 1 to 9999 (see ReferenceDate::isInRange).
    double referenceDate(const QString &key);
    // An internet date-time text (see ReferenceDate::fromIso8601), as reference seconds.
    double isoDate(const QString &key);

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    void fail(const QString &message);

private:
    std::optional<QJsonValue> present(const QString &key);

    QJsonObject m_object;
    QString m_error;
};
