// SPDX-License-Identifier: MIT
#include "Typography.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace Typography {
namespace {

// Ratios of each role to the body text size of the reference design (13 points).
constexpr double titleScale = 22.0 / 13.0;
constexpr double title2Scale = 17.0 / 13.0;
constexpr double subheadlineScale = 11.0 / 13.0;
constexpr double captionScale = 10.0 / 13.0;

QFont scaled(QFont font, double scale)
{
    const QFont body = QGuiApplication::font();
    if (body.pointSizeF() > 0)
        font.setPointSizeF(body.pointSizeF() * scale);
    else
        font.setPixelSize(qMax(1, qRound(body.pixelSize() * scale)));
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

} // namespace Typography
