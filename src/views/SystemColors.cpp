// SPDX-License-Identifier: MIT
#include "SystemColors.h"

#include <QPalette>
#include <QWidget>

namespace SystemColors {

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

void makeSecondary(QWidget *widget)
{
    widget->setForegroundRole(QPalette::PlaceholderText);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void fillWithControlBackground(QWidget *widget)
{
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

} // namespace SystemColors
