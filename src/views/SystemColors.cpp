// SPDX-License-Identifier: MIT
#include "SystemColors.h"

#include <QWidget>

#include <cmath>

namespace SystemColors {
namespace {

// Room for a lightly tinted background (a badge, a hovered row) behind coloured text.
constexpr double tintedTextContrast = textContrast + 0.5;

double channel(double value)
{
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &color)
{
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

QColor mix(const QColor &from, const QColor &to, double amount)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * amount),
                            float(from.greenF() + (to.greenF() - from.greenF()) * amount),
                            float(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

// A colour with transparency, as it shows over background.
QColor over(const QColor &color, const QColor &background)
{
    return mix(background, QColor(color.rgb()), color.alphaF());
}

// Moves color towards target in the smallest step that reaches minimumContrast on background.
QColor moveTowards(const QColor &color, const QColor &target, const QColor &background, double minimumContrast)
{
    if (contrast(color, background) >= minimumContrast)
        return color;
    double low = 0;
    double high = 1;
    for (int step = 0; step < 16; ++step) {
        const double middle = (low + high) / 2;
        if (contrast(mix(color, target, middle), background) >= minimumContrast)
            high = middle;
        else
            low = middle;
    }
    return mix(color, target, high).toRgb();
}

void makeGroupReadable(QPalette &palette, QPalette::ColorGroup group)
{
    const QColor text = palette.color(group, QPalette::Text);
    const QList<QColor> backgrounds{palette.color(group, QPalette::Window), palette.color(group, QPalette::Base),
                                    palette.color(group, QPalette::AlternateBase)};
    QColor secondary = over(palette.color(group, QPalette::PlaceholderText), backgrounds.at(1));
    // Towards the text colour, so that the secondary text keeps the hue of the theme; once more,
    // as a step that helps on one background can cost a little on another.
    for (int pass = 0; pass < 2; ++pass) {
        for (const QColor &background : backgrounds)
            secondary = moveTowards(secondary, text, background, textContrast);
    }
    if (secondary != palette.color(group, QPalette::PlaceholderText))
        palette.setColor(group, QPalette::PlaceholderText, secondary);

    // Selected rows draw their text, secondary lines included, in HighlightedText.
    const QColor selectedText = palette.color(group, QPalette::HighlightedText);
    const QColor highlight = over(palette.color(group, QPalette::Highlight), backgrounds.at(1));
    const QColor readableHighlight = readable(highlight, selectedText);
    if (readableHighlight != palette.color(group, QPalette::Highlight))
        palette.setColor(group, QPalette::Highlight, readableHighlight);
}

} // namespace

QColor green()
{
    return QColor(52, 199, 89);
}

QColor red()
{
    return QColor(255, 59, 48);
}

QColor orange()
{
    return QColor(255, 149, 0);
}

double contrast(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (qMax(first, second) + 0.05) / (qMin(first, second) + 0.05);
}

QColor readable(const QColor &color, const QColor &background, double minimumContrast)
{
    const QColor opaque = over(color, background);
    // Away from the background: darker on a light one, lighter on a dark one.
    const QColor target =
        contrast(Qt::black, background) >= contrast(Qt::white, background) ? QColor(Qt::black) : QColor(Qt::white);
    return moveTowards(opaque, target, background, minimumContrast);
}

QPalette readablePalette(QPalette palette)
{
    makeGroupReadable(palette, QPalette::Active);
    makeGroupReadable(palette, QPalette::Inactive);
    return palette;
}

QColor focusRing(const QPalette &palette)
{
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor window = palette.color(QPalette::Window);
    return contrast(accent, window) >= markContrast ? accent : palette.color(QPalette::WindowText);
}

void makeSecondary(QWidget *widget)
{
    widget->setForegroundRole(QPalette::PlaceholderText);
}

QColor tintedText(const QColor &color, const QPalette &palette)
{
    QColor text = color;
    for (const QPalette::ColorRole background : {QPalette::Window, QPalette::Base})
        text = readable(text, palette.color(background), tintedTextContrast);
    return text;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    const QColor text = tintedText(color, palette);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    widget->setPalette(palette);
}

void fillWithControlBackground(QWidget *widget)
{
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

} // namespace SystemColors
