// SPDX-License-Identifier: MIT
#include "HalvexInstance.h"

#include "InstanceName.h"
#include "InstancePort.h"
#include "JsonFields.h"
#include "JsonText.h"
#include "ReferenceDate.h"

#include <QHashFunctions>

#include <charconv>
#include <cstring>

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

namespace {

template<std::size_t N>
char *writeLiteral(char *out, const char (&text)[N])
{
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

// Upper-case hexadecimal digits in the 8-4-4-4-12 form.
char *writeUuid(char *out, const QUuid &id)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const uchar bytes[16] = {
        uchar(id.data1 >> 24), uchar(id.data1 >> 16), uchar(id.data1 >> 8), uchar(id.data1),
        uchar(id.data2 >> 8),  uchar(id.data2),       uchar(id.data3 >> 8), uchar(id.data3),
        id.data4[0],           id.data4[1],           id.data4[2],          id.data4[3],
        id.data4[4],           id.data4[5],           id.data4[6],          id.data4[7],
    };
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *out++ = '-';
        *out++ = hex[bytes[i] >> 4];
        *out++ = hex[bytes[i] & 0xF];
    }
    return out;
}

} // namespace

void HalvexInstance::appendCompactJson(QByteArray &out) const
{
    // Keys in the order QJsonObject writes them, so both forms are the same bytes. The registry
    // holds thousands of records and is rewritten whole: the text is written straight into room
    // made once, and only names and tokens that need escaping take the slower way.
    constexpr qsizetype fixedLength = 142 + 2 * JsonText::longestNumber; // keys, id, flag, port
    const qsizetype start = out.size();
    out.resize(start + fixedLength + name.size() + authToken.size());
    char *p = writeLiteral(out.data() + start, "{\"authToken\":");
    p = JsonText::writePlainString(p, authToken);
    if (p) {
        p = writeLiteral(p, ",\"createdAt\":");
        p = JsonText::writeNumber(p, createdAt);
        p = writeLiteral(p, ",\"id\":\"");
        p = writeUuid(p, id);
        p = isRunning ? writeLiteral(p, "\",\"isRunning\":true,\"name\":")
                      : writeLiteral(p, "\",\"isRunning\":false,\"name\":");
        p = JsonText::writePlainString(p, name);
    }
    if (!p) {
        out.truncate(start);
        appendEscapedJson(out);
        return;
    }
    p = writeLiteral(p, ",\"port\":");
    p = std::to_chars(p, p + 20, port).ptr;
    p = writeLiteral(p, ",\"updatedAt\":");
    p = JsonText::writeNumber(p, updatedAt);
    *p++ = '}';
    out.truncate(p - out.constData());
}

void HalvexInstance::appendEscapedJson(QByteArray &out) const
{
    out += "{\"authToken\":";
    JsonText::appendString(out, authToken);
    out += ",\"createdAt\":";
    JsonText::appendNumber(out, createdAt);
    out += ",\"id\":\"";
    char uuid[36];
    out.append(uuid, writeUuid(uuid, id) - uuid);
    out += isRunning ? "\",\"isRunning\":true,\"name\":" : "\",\"isRunning\":false,\"name\":";
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
