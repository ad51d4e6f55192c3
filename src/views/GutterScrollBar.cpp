// SPDX-License-Identifier: MIT
#include "GutterScrollBar.h"

GutterScrollBar::GutterScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    // Whether there is anything to draw changes with the range.
    connect(this, &QScrollBar::rangeChanged, this, [this] { update(); });
}

void GutterScrollBar::paintEvent(QPaintEvent *event)
{
    if (maximum() > minimum())
        QScrollBar::paintEvent(event);
}
