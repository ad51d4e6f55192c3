// SPDX-License-Identifier: MIT
#pragma once

#include <QCache>
#include <QFont>
#include <QStaticText>

class QPainter;

// One line of text in one font, cut to a width with "…", drawn from the layouts of the texts
// drawn lately. A list repaints rows whose texts have not changed (the selection moved, a run
// state changed), and cutting and laying out those texts again cost most of such a repaint.
class ElidedTextCache
{
public:
    explicit ElidedTextCache(const QFont &font);

    // Draws text at the left of rect, centred vertically, with the painter's pen.
    void draw(QPainter *painter, const QRect &rect, const QString &text);

private:
    QFont m_font;
    // By text and width; a few screens of rows.
    QCache<std::pair<QString, int>, QStaticText> m_texts;
};
