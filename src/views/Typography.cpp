// SPDX-License-Identifier: MIT
#include "Typography.h"

#include <QCache>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QtMath>

namespace Typography {
namespace {

// Ratios of each role to the body text size of the reference design (13 points).
constexpr double titleScale = 22.0 / 13.0;
constexpr double title2Scale = 17.0 / 13.0;
constexpr double subheadlineScale = 11.0 / 13.0;
constexpr double captionScale = 10.0 / 13.0;

// A font's size in points, also for one set in pixels.
double pointSize(const QFont &font)
{
    return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

// Never below the desktop's smallest readable size, nor, on a desktop whose smallest size is
// larger than its body text, below the body text. Asked of the system once per body font: each
// question is a font configuration lookup, and the window's first frame asks for a dozen fonts.
double smallestSize(const QFont &body)
{
    static QString askedFor;
    static double smallest = 0;
    if (const QString key = body.key(); key != askedFor) {
        askedFor = key;
        smallest = qMin(pointSize(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont)), pointSize(body));
    }
    return smallest;
}

QFont scaled(QFont font, double scale)
{
    const QFont body = QGuiApplication::font();
    font.setPointSizeF(qMax(pointSize(body) * scale, smallestSize(body)));
    return font;
}

} // namespace

QFont title()
{
    return scaled(QGuiApplication::font(), titleScale);
}

QFont title2()
{
    return scaled(QGuiApplication::font(), title2Scale);
}

QFont headline()
{
    return withWeight(QGuiApplication::font(), QFont::DemiBold);
}

QFont subheadline()
{
    return scaled(QGuiApplication::font(), subheadlineScale);
}

QFont caption()
{
    return scaled(QGuiApplication::font(), captionScale);
}

QFont monospacedCaption()
{
    return scaled(QFontDatabase::systemFont(QFontDatabase::FixedFont), captionScale);
}

QFont withWeight(QFont font, QFont::Weight weight)
{
    font.setWeight(weight);
    return font;
}

int labelWidth(const QFont &font, const QString &text)
{
    // Labels that change as servers start and stop show the same few texts again and again (the
    // names of the states, of the buttons), and shaping one costs more than the rest of its change.
    // By the font's key: a QFont kept until the process ends would outlive the font engines.
    static QCache<std::pair<QString, QString>, int> widths(256);
    std::pair key{font.key(), text};
    if (const int *known = widths.object(key))
        return *known;
    const int width = qCeil(QFontMetricsF(font).horizontalAdvance(text));
    widths.insert(std::move(key), new int(width));
    return width;
}

} // namespace Typography
