// SPDX-License-Identifier: MIT
#pragma once

#include <QProxyStyle>

// The desktop's own style with two changes that keep the interface usable for everyone: secondary
// and selected text at a readable contrast in whatever palette the desktop hands out (now and after
// every change of it), and a focus ring that can be seen on every control the keyboard reaches.
class AccessibleStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    // Wraps a fresh instance of the application's current style.
    AccessibleStyle();

    using QProxyStyle::polish;
    void polish(QPalette &palette) override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

    // Draws the ring that marks the keyboard focus around rect.
    static void drawFocusRing(QPainter *painter, const QRectF &rect, const QPalette &palette, qreal radius);
};
