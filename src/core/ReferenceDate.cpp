// SPDX-License-Identifier: MIT
#include "ReferenceDate.h"

#include <QRegularExpression>

#include <chrono>
#include <cmath>

namespace ReferenceDate {

namespace {

// 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z in seconds since the Unix epoch.
constexpr double firstSecond = -62135596800.0;
constexpr double endSecond = 253402300800.0;

} // namespace

bool isInRange(double seconds)
{
    const double sinceEpoch = seconds + unixOffset;
    return std::isfinite(sinceEpoch) && sinceEpoch >= firstSecond && sinceEpoch < endSecond;
}

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
    // An offset can carry the UTC time out of the four-digit years, where no export could write it.
    const double seconds = static_cast<double>(parsed.toSecsSinceEpoch()) - unixOffset;
    if (!isInRange(seconds))
        return std::nullopt;
    return seconds;
}

} // namespace ReferenceDate
