// SPDX-License-Identifier: MIT
#include "JsonFields.h"

#include "ReferenceDate.h"

#include <cmath>
#include <limits>

JsonFields::JsonFields(const QJsonObject &object)
    : m_object(object)
{}

void JsonFields::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
}

std::optional<QJsonValue> JsonFields::present(const QString &key)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined()) {
        fail(QStringLiteral("the key \"%1\" is missing").arg(key));
        return std::nullopt;
    }
    if (value.isNull()) {
        fail(QStringLiteral("the key \"%1\" is null").arg(key));
        return std::nullopt;
    }
    return value;
}

QString JsonFields::string(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return {};
    if (!value->isString()) {
        fail(QStringLiteral("\"%1\" must be a string").arg(key));
        return {};
    }
    return value->toString();
}

std::optional<QString> JsonFields::optionalString(const QString &key)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        fail(QStringLiteral("\"%1\" must be a string or null").arg(key));
        return std::nullopt;
    }
    return value.toString();
}

qint64 JsonFields::integer(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return 0;
    if (!value->isDouble()) {
        fail(QStringLiteral("\"%1\" must be an integer").arg(key));
        return 0;
    }
    // QJsonValue keeps integers as exact 64-bit values; a number with a fraction or beyond the
    // 64-bit range is only representable as a double and is refused.
    const QVariant variant = value->toVariant();
    if (variant.typeId() == QMetaType::LongLong)
        return variant.toLongLong();
    const double d = value->toDouble();
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(d) || std::trunc(d) != d || d >= limit || d < -limit) {
        fail(QStringLiteral("\"%1\" must be an integer").arg(key));
        return 0;
    }
    return static_cast<qint64>(d);
}

bool JsonFields::boolean(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return false;
    if (!value->isBool()) {
        fail(QStringLiteral("\"%1\" must be true or false").arg(key));
        return false;
    }
    return value->toBool();
}

// UUID text in the 8-4-4-4-12 form. Checked by hand: the registry is read at every start, and a
// regular expression engine costs more memory and time there than the whole check.
static bool isUuidText(const QString &text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenPlace ? c != u'-' : !hex)
            return false;
    }
    return true;
}

QUuid JsonFields::uuid(const QString &key)
{
    const QString text = string(key);
    if (!ok())
        return {};
    if (!isUuidText(text)) {
        fail(QStringLiteral("\"%1\" must be a UUID such as 0F8FAD5B-D9CB-469F-A165-70867728950E").arg(key));
        return {};
    }
    return QUuid::fromString(text);
}

static bool isAbsoluteUrl(const QUrl &url)
{
    return url.isValid() && !url.isRelative();
}

QUrl JsonFields::url(const QString &key)
{
    const QString text = string(key);
    if (!ok())
        return {};
    const QUrl url(text, QUrl::StrictMode);
    if (!isAbsoluteUrl(url)) {
        fail(QStringLiteral("\"%1\" must be a URL such as file:///home/ann/Halvex").arg(key));
        return {};
    }
    return url;
}

std::optional<QUrl> JsonFields::optionalUrl(const QString &key)
{
    const auto text = optionalString(key);
    if (!text)
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!isAbsoluteUrl(url)) {
        fail(QStringLiteral("\"%1\" must be a URL such as file:///usr/local/bin/halvex").arg(key));
        return std::nullopt;
    }
    return url;
}

double JsonFields::referenceDate(const QString &key)
{
    const auto value = present(key);
    if (!value)
        return 0;
    if (!value->isDouble() || !ReferenceDate::isInRange(value->toDouble())) {
        fail(QStringLiteral("\"%1\" must be a date in seconds since 2001-01-01 00:00:00 UTC, in the years 1 to 9999")
                 .arg(key));
        return 0;
    }
    return value->toDouble();
}

double JsonFields::isoDate(const QString &key)
{
    const QString text = string(key);
    if (!ok())
        return 0;
    const auto seconds = ReferenceDate::fromIso8601(text);
    if (!seconds) {
        fail(QStringLiteral("\"%1\" must be a date such as 2025-03-01T14:05:09Z").arg(key));
        return 0;
    }
    return *seconds;
}
