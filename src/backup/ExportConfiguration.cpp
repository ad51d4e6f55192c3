// SPDX-License-Identifier: MIT
#include "ExportConfiguration.h"

#include "ExportFileWriter.h"
#include "core/JsonFields.h"
#include "core/ReferenceDate.h"
#include "core/StorageLocation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The member as an object or an array; JsonFields reads only scalars.
QJsonValue container(JsonFields &fields, const QJsonObject &object, const QString &key, QJsonValue::Type type)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        fields.fail(QStringLiteral("the key \"%1\" is missing").arg(key));
    else if (value.isNull())
        fields.fail(QStringLiteral("the key \"%1\" is null").arg(key));
    else if (value.type() != type)
        fields.fail(
            QStringLiteral("\"%1\" must be %2").arg(key, type == QJsonValue::Array ? u"an array" : u"an object"));
    return value;
}

QString describeInstance(qsizetype index, const QJsonObject &object)
{
    const QJsonValue name = object.value(QStringLiteral("name"));
    if (name.isString())
        return QStringLiteral("instance %1 (\"%2\")").arg(index + 1).arg(name.toString());
    return QStringLiteral("instance %1").arg(index + 1);
}

} // namespace

QByteArray ExportConfiguration::encode() const
{
    QJsonArray list;
    for (const HalvexInstance &instance : instances)
        list.append(instance.toJson(HalvexInstance::DateForm::Iso8601));
    const QJsonObject settings{
        {QStringLiteral("dataStorageLocation"), dataStorageLocation.toString(QUrl::FullyEncoded)},
        {QStringLiteral("timezone"), timezone},
    };
    return ExportFileWriter::write(QJsonObject{
        {QStringLiteral("exportedAt"), ReferenceDate::toIso8601(exportedAt)},
        {QStringLiteral("instances"), list},
        {QStringLiteral("settings"), settings},
        {QStringLiteral("version"), version},
    });
}

std::optional<ExportConfiguration> ExportConfiguration::decode(const QByteArray &bytes, QString *error)
{
    const auto failed = [error](const QString &message) {
        if (error)
            *error = message;
        return std::nullopt;
    };

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return failed(QStringLiteral("the file is not valid JSON (%1 at character %2)")
                          .arg(parseError.errorString())
                          .arg(parseError.offset));
    }
    if (!document.isObject())
        return failed(QStringLiteral("the file does not hold a configuration object"));
    const QJsonObject root = document.object();

    ExportConfiguration configuration;
    JsonFields fields(root);
    configuration.exportedAt = fields.isoDate(QStringLiteral("exportedAt"));
    const QJsonArray instances = container(fields, root, QStringLiteral("instances"), QJsonValue::Array).toArray();
    const QJsonObject settings = container(fields, root, QStringLiteral("settings"), QJsonValue::Object).toObject();
    configuration.version = fields.string(QStringLiteral("version"));
    if (!fields.ok())
        return failed(fields.error());

    JsonFields settingsFields(settings);
    configuration.dataStorageLocation = settingsFields.url(QStringLiteral("dataStorageLocation"));
    configuration.timezone = settingsFields.string(QStringLiteral("timezone"));
    if (settingsFields.ok() && !StorageLocation::isValid(configuration.dataStorageLocation)) {
        settingsFields.fail(QStringLiteral("\"dataStorageLocation\" must be a file URL of a folder of this machine "
                                           "other than /, such as file:///home/ann/Halvex"));
    }
    if (!settingsFields.ok())
        return failed(QStringLiteral("settings: ") + settingsFields.error());

    for (qsizetype i = 0; i < instances.size(); ++i) {
        if (!instances[i].isObject())
            return failed(QStringLiteral("instance %1 must be an object").arg(i + 1));
        const QJsonObject object = instances[i].toObject();
        QString instanceError;
        const auto instance = HalvexInstance::fromJson(object, HalvexInstance::DateForm::Iso8601, &instanceError);
        if (!instance)
            return failed(describeInstance(i, object) + QStringLiteral(": ") + instanceError);
        if (const QString refused = instance->validationError(); !refused.isEmpty())
            return failed(describeInstance(i, object) + QStringLiteral(": ") + refused);
        configuration.instances.append(*instance);
    }
    return configuration;
}
