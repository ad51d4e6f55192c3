// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

class QWidget;

// The named colours of the interface and the palette roles that stand for the system colours:
// the control background is QPalette::Window, the text background QPalette::Base and the
// secondary text colour QPalette::PlaceholderText.
namespace SystemColors {

QColor green();
QColor red();
QColor orange();

// Text in the secondary colour, following palette changes.
void makeSecondary(QWidget *widget);
void setTextColor(QWidget *widget, const QColor &color);
// Fills the widget's background with the control background colour.
void fillWithControlBackground(QWidget *widget);

} // namespace SystemColors
