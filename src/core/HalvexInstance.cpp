// SPDX-License-Identifier: MIT
#include "HalvexInstance.h"

#include "InstanceName.h"
#include "InstancePort.h"
#include "JsonFields.h"
#include "JsonText.h"
#include "ReferenceDate.h"

#include <QHashFunctions>

HalvexInstance HalvexInstance::create(const QString &name, const QString &authToken, qint64 port)
{
    HalvexInstance instance;
    instance.id = QUuid::createUuid();
    instance.name = name;
    instance.authToken = authToken;
    instance.port = port;
    instance.createdAt = ReferenceDate::now();
    instance.updatedAt = ReferenceDate::now();
    return instance;
}

QString HalvexInstance::hostName() const
{
    return name + QStringLiteral(".halvex.local");
}

QString HalvexInstance::localURL() const
{
    return QStringLiteral("http://") + hostName() + u':' + QString::number(port);
}

QJsonObject HalvexInstance::toJson(DateForm form) const
{
    const auto date = [form](double seconds) -> QJsonValue {
        if (form == DateForm::Iso8601)
            return ReferenceDate::toIso8601(seconds);
        return seconds;
    };
    return QJsonObject{
        {QStringLiteral("id"), id.toString(QUuid::WithoutBraces).toUpper()},
        {QStringLiteral("name"), name},
        {QStringLiteral("authToken"), authToken},
        {QStringLiteral("port"), port},
        {QStringLiteral("isRunning"), isRunning},
        {QStringLiteral("createdAt"), date(createdAt)},
        {QStringLiteral("updatedAt"), date(updatedAt)},
    };
}

void HalvexInstance::appendCompactJson(QByteArray &out) const
{
    // Keys in the order QJsonObject writes them, so both forms are the same bytes.
    out += "{\"authToken\":";
    JsonText::appendString(out, authToken);
    out += ",\"createdAt\":";
    JsonText::appendNumber(out, createdAt);
    out += ",\"id\":\"";
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = id.toRfc4122();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        out += hex[(bytes[i] >> 4) & 0xF];
        out += hex[bytes[i] & 0xF];
    }
    out += "\",\"isRunning\":";
    out += isRunning ? "true" : "false";
    out += ",\"name\":";
    JsonText::appendString(out, name);
    out += ",\"port\":";
    out += QByteArray::number(port);
    out += ",\"updatedAt\":";
    JsonText::appendNumber(out, updatedAt);
    out += '}';
}

std::optional<HalvexInstance> HalvexInstance::fromJson(const QJsonObject &object, DateForm form, QString *error)
{
    JsonFields fields(object);
    const auto date = [&fields, form](const QString &key) {
        return form == DateForm::Iso8601 ? fields.isoDate(key) : fields.referenceDate(key);
    };
    HalvexInstance instance;
    instance.id = fields.uuid(QStringLiteral("id"));
    instance.name = fields.string(QStringLiteral("name"));
    instance.authToken = fields.string(QStringLiteral("authToken"));
    instance.port = fields.integer(QStringLiteral("port"));
    instance.isRunning = fields.boolean(QStringLiteral("isRunning"));
    instance.createdAt = date(QStringLiteral("createdAt"));
    instance.updatedAt = date(QStringLiteral("updatedAt"));
    if (!fields.ok()) {
        if (error)
            *error = fields.error();
        return std::nullopt;
    }
    return instance;
}

QString HalvexInstance::validationError() const
{
    if (!InstanceName::isValid(name))
        return QStringLiteral("the name is not allowed. ") + InstanceName::requirement() + u'.';
    if (!InstancePort::isValid(port))
        return QStringLiteral("\"port\" must be between %1 and %2")
            .arg(InstancePort::lowest)
            .arg(InstancePort::highest);
    return {};
}

size_t qHash(const HalvexInstance &instance, size_t seed) noexcept
{
    return qHashMulti(seed, instance.id, instance.name, instance.authToken, instance.port, instance.isRunning,
                      instance.createdAt, instance.updatedAt);
}
