// SPDX-License-Identifier: MIT
#include "LogTimeStamp.h"

#include <QDateTime>

#include <optional>

namespace {

// Positions of the characters of a time format that are pattern letters, not quoted text.
QList<qsizetype> unquotedPositions(const QString &format)
{
    QList<qsizetype> positions;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) == u'\'')
            quoted = !quoted;
        else if (!quoted)
            positions.append(i);
    }
    return positions;
}

// The short format (hours and minutes) with seconds added after the minutes, the way the
// locale's medium style does it: with the separator that stands between hours and minutes.
// Nothing when that separator is words ("14 h 03") rather than one punctuation mark.
std::optional<QString> shortWithSeconds(const QString &shortFormat)
{
    const QList<qsizetype> letters = unquotedPositions(shortFormat);
    const auto isField = [&](qsizetype i, auto... fields) { return ((shortFormat.at(i) == fields) || ...); };
    qsizetype hourEnd = -1;
    qsizetype minuteStart = -1;
    qsizetype minuteEnd = -1;
    for (const qsizetype i : letters) {
        if (isField(i, u's'))
            return shortFormat;
        if (isField(i, u'h', u'H') && minuteStart < 0)
            hourEnd = i + 1;
        if (isField(i, u'm')) {
            if (minuteStart < 0)
                minuteStart = i;
            minuteEnd = i + 1;
        }
    }
    if (hourEnd < 0 || minuteStart < 0)
        return std::nullopt;
    const QString separator = shortFormat.mid(hourEnd, minuteStart - hourEnd);
    if (separator.size() != 1 || !separator.front().isPunct())
        return std::nullopt;
    return shortFormat.left(minuteStart) + QStringLiteral("mm") + separator + QStringLiteral("ss") +
           shortFormat.mid(minuteEnd);
}

// The long format less its zone, with the brackets and commas that set the zone apart.
QString longWithoutZone(const QString &longFormat)
{
    QString format = longFormat;
    const QList<qsizetype> letters = unquotedPositions(longFormat);
    for (auto i = letters.crbegin(); i != letters.crend(); ++i) {
        if (format.at(*i) == u't')
            format.remove(*i, 1);
    }
    format = format.simplified();
    format.remove(QStringLiteral("()"));
    format.remove(QStringLiteral("[]"));
    const auto isDangling = [](QChar c) { return c.isSpace() || c == u','; };
    while (!format.isEmpty() && isDangling(format.back()))
        format.chop(1);
    while (!format.isEmpty() && isDangling(format.front()))
        format.remove(0, 1);
    return format;
}

} // namespace

QString mediumTimeFormat(const QLocale &locale)
{
    // The locale's medium style is nearly always its short one with seconds; its long one adds a
    // zone and, in some locales, a wordier form (Japanese, Korean) that is not the medium style.
    QString format = shortWithSeconds(locale.timeFormat(QLocale::ShortFormat))
                         .value_or(longWithoutZone(locale.timeFormat(QLocale::LongFormat)));
    // A few locales name the half of the day by a flexible period ("B") that QLocale prints as a
    // letter; AM/PM is the nearest it can render, and a 12-hour time needs one.
    const QList<qsizetype> letters = unquotedPositions(format);
    for (auto i = letters.crbegin(); i != letters.crend(); ++i) {
        if (format.at(*i) == u'B')
            format.replace(*i, 1, QStringLiteral("AP"));
    }
    return format;
}

LogTimeStamp::LogTimeStamp()
    : m_timeFormat(mediumTimeFormat(m_locale))
{}

QString LogTimeStamp::stamped(const QString &message)
{
    // The clock alone is read for every entry: the local time and its text change once a second,
    // and their conversion costs more than the rest of an entry.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_second) {
        m_text = m_locale.toString(QDateTime::fromSecsSinceEpoch(second).time(), m_timeFormat);
        m_second = second;
    }
    return u'[' + m_text + QStringLiteral("] ") + message;
}
