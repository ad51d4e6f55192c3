// SPDX-License-Identifier: MIT
#include "AccessibleStyle.h"

#include "SystemColors.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>

AccessibleStyle::AccessibleStyle()
    : QProxyStyle(QApplication::style()->name())
{}

void AccessibleStyle::polish(QPalette &palette)
{
    QProxyStyle::polish(palette);
    palette = SystemColors::readablePalette(palette);
}

void AccessibleStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const
{
    if (element != PE_FrameFocusRect)
        return QProxyStyle::drawPrimitive(element, option, painter, widget);
    // As the base styles do, only once the keyboard has moved the focus: a click shows no ring.
    if (!(option->state & State_KeyboardFocusChange))
        return;
    drawFocusRing(painter, QRectF(option->rect), option->palette, 3);
}

void AccessibleStyle::drawFocusRing(QPainter *painter, const QRectF &rect, const QPalette &palette, qreal radius)
{
    constexpr qreal width = 2;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(SystemColors::focusRing(palette), width));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(rect.adjusted(width / 2, width / 2, -width / 2, -width / 2), radius, radius);
    painter->restore();
}
