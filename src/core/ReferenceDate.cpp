// SPDX-License-Identifier: MIT
#include "ReferenceDate.h"

#include <QRegularExpression>

#include <chrono>
#include <cmath>

namespace ReferenceDate {

double now()
{
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<double>(sinceEpoch) / 1e6 - unixOffset;
}

QDateTime toDateTime(double seconds)
{
    const auto msecs = static_cast<qint64>(std::llround((seconds + unixOffset) * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

double fromDateTime(const QDateTime &dateTime)
{
    return static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - unixOffset;
}

QString toIso8601(double seconds)
{
    const auto wholeSeconds = static_cast<qint64>(std::floor(seconds + unixOffset));
    return QDateTime::fromSecsSinceEpoch(wholeSeconds, Qt::UTC).toString(Qt::ISODate);
}

std::optional<double> fromIso8601(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(Z|[+-]\d{2}:\d{2})$)"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
    if (!parsed.isValid())
        return std::nullopt;
    return static_cast<double>(parsed.toSecsSinceEpoch()) - unixOffset;
}

} // namespace ReferenceDate
