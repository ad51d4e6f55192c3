// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// The named colours of the interface and the palette roles that stand for the system colours:
// the control background is QPalette::Window, the text background QPalette::Base and the
// secondary text colour QPalette::PlaceholderText. Text drawn in any of them stays readable: at
// least textContrast against the background it is drawn on.
namespace SystemColors {

// The contrast ratio that text, small text included, keeps against its background.
inline constexpr double textContrast = 4.5;
// The contrast ratio of a mark that is not text (a focus ring) against its surroundings.
inline constexpr double markContrast = 3.0;

// The symbol colours. As text, or as the fill behind text, they go through readable() first.
QColor green();
QColor red();
QColor orange();

// The contrast ratio of two opaque colours, from 1 (the same) to 21 (black on white).
double contrast(const QColor &a, const QColor &b);
// color, darkened or lightened as little as needed to reach minimumContrast against background.
QColor readable(const QColor &color, const QColor &background, double minimumContrast = textContrast);
// The palette with its secondary text and its selected text made readable in the active and
// inactive groups; roles that are readable already stay as they are.
QPalette readablePalette(QPalette palette);

// The colour of the ring around the control with the keyboard focus: the accent colour where it
// stands out from the window, else the window's text colour.
QColor focusRing(const QPalette &palette);

// Text in the secondary colour, following palette changes.
void makeSecondary(QWidget *widget);
// Text in a colour of its own (a red warning, a green state), made readable on the palette's
// backgrounds and on a light tint of them.
QColor tintedText(const QColor &color, const QPalette &palette);
// The widget's text in tintedText() of color.
void setTextColor(QWidget *widget, const QColor &color);
// Fills the widget's background with the control background colour.
void fillWithControlBackground(QWidget *widget);

} // namespace SystemColors
