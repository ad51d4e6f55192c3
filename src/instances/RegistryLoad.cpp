// SPDX-License-Identifier: MIT
#include "RegistryLoad.h"

#include "core/StateFile.h"

#include <QJsonArray>
#include <QJsonDocument>

RegistryLoad::RegistryLoad(QString file)
    : m_file(std::move(file))
    , m_content(std::async(std::launch::async | std::launch::deferred, &RegistryLoad::read, m_file))
{}

RegistryContent RegistryLoad::take()
{
    return m_content.get();
}

RegistryContent RegistryLoad::read(const QString &file)
{
    const StateFile registry(file);
    registry.removeStaleTemporaries();
    RegistryContent content;
    const auto bytes = registry.read();
    if (!bytes)
        return content;
    // A name or port put in by hand must not reach a path, a host name or a launch.
    const auto refused = [&content](qsizetype index, const QString &error) {
        if (error.isEmpty())
            return false;
        content.undecodable = QStringLiteral("record %1: ").arg(index + 1) + error;
        return true;
    };
    // The file as this application writes it is read without a JSON parser, which would take most
    // of the start-up with thousands of records.
    std::optional<QList<HalvexInstance>> records = content.encoder.read(*bytes);
    if (records) {
        for (qsizetype i = 0; i < records->size(); ++i) {
            if (refused(i, records->at(i).validationError()))
                return content;
        }
    } else {
        const QJsonDocument document = QJsonDocument::fromJson(*bytes);
        if (!document.isArray()) {
            content.undecodable = QStringLiteral("not a JSON array");
            return content;
        }
        const QJsonArray array = document.array();
        records.emplace();
        records->reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            QString error = QStringLiteral("not an object");
            const auto record =
                array[i].isObject()
                    ? HalvexInstance::fromJson(array[i].toObject(), HalvexInstance::DateForm::ReferenceSeconds, &error)
                    : std::nullopt;
            if (refused(i, record ? record->validationError() : error))
                return content;
            records->append(*record);
        }
        content.encoder.learn(*bytes, *records);
    }
    // No process of this run can belong to a stored record: a flag saved while its server ran
    // would otherwise leave the record "running" for ever, unstartable and unstoppable.
    for (HalvexInstance &record : *records)
        record.isRunning = false;
    content.records = std::move(records);
    return content;
}
