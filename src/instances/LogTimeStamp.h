// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QString>

// What starts every log entry: "[" + the local time of day in the locale's medium time style +
// "] ". The style is the default locale's at construction (the system's unless set otherwise).
// Each thread that stamps entries has one of its own.
class LogTimeStamp
{
public:
    LogTimeStamp();

    QString stamped(const QString &message);

private:
    QLocale m_locale;
    QString m_timeFormat;
    // Rendering the clock through the locale costs more than the rest of an entry; a server that
    // floods its log writes thousands of entries in the same second.
    qint64 m_second = -1;
    QString m_text;
};

// The locale's medium time style: hours, minutes and seconds, 12- or 24-hour as the locale has
// it, without a date or a zone (14:03:27, 2:03:27 PM), as a QLocale time format.
QString mediumTimeFormat(const QLocale &locale);
