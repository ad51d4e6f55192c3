// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Time stamps are seconds since 2001-01-01 00:00:00 UTC held as a double. Keeping the double
// itself (never a millisecond type) is what lets a record survive a write and a read bit for bit.
namespace ReferenceDate {

// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC.
inline constexpr double unixOffset = 978307200.0;

// Whether the time lies in the years 1 to 9999 UTC, the only ones the export file's date text can
// hold. Readers refuse every other value, infinities and NaN included.
bool isInRange(double seconds);

// The current time with the clock's full (sub-millisecond) resolution.
double now();

QDateTime toDateTime(double seconds);
double fromDateTime(const QDateTime &dateTime);

// Internet date-time in UTC with whole seconds, e.g. 2025-03-01T14:05:09Z; a fraction is dropped.
QString toIso8601(double seconds);
// Accepts only the internet date-time form: full date, 'T', time to the second, then 'Z' or an
// offset such as +01:00. Fractions of a second, every other notation and a time outside the years
// 1 to 9999 UTC are refused.
std::optional<double> fromIso8601(const QString &text);

} // namespace ReferenceDate
