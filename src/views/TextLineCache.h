// SPDX-License-Identifier: MIT
#pragma once

#include <QCache>
#include <QFont>
#include <QStaticText>

class QPainter;

// Lines of text in one font, drawn from the layouts of the lines drawn lately. A list repaints
// rows whose texts have not changed (the selection moved, a run state changed, a log entry was
// added below), and laying those texts out again cost most of such a repaint.
class TextLineCache
{
public:
    explicit TextLineCache(const QFont &font);

    // Draws text with its top left corner at topLeft, with the painter's pen.
    void draw(QPainter *painter, const QPointF &topLeft, const QString &text);
    // Draws text cut to the width of rect with "…", at its left and centred vertically.
    void drawElided(QPainter *painter, const QRect &rect, const QString &text);

private:
    // The layout of text cut to width; a width of -1 for text as it is.
    const QStaticText &laidOut(const QString &text, int width);

    QFont m_font;
    // A few screens of lines.
    QCache<std::pair<QString, int>, QStaticText> m_lines;
};
