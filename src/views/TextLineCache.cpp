// SPDX-License-Identifier: MIT
#include "TextLineCache.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr qsizetype kept = 512;
constexpr int uncut = -1;

} // namespace

TextLineCache::TextLineCache(const QFont &font)
    : m_font(font)
    , m_lines(kept)
{}

const QStaticText &TextLineCache::laidOut(const QString &text, int width)
{
    const std::pair<QString, int> key(text, width);
    if (const QStaticText *known = m_lines.object(key))
        return *known;
    auto *line = new QStaticText(width == uncut ? text : QFontMetrics(m_font).elidedText(text, Qt::ElideRight, width));
    line->setTextFormat(Qt::PlainText);
    line->prepare(QTransform(), m_font);
    m_lines.insert(key, line);
    return *line;
}

void TextLineCache::draw(QPainter *painter, const QPointF &topLeft, const QString &text)
{
    painter->setFont(m_font);
    painter->drawStaticText(topLeft, laidOut(text, uncut));
}

void TextLineCache::drawElided(QPainter *painter, const QRect &rect, const QString &text)
{
    const QStaticText &line = laidOut(text, rect.width());
    painter->setFont(m_font);
    painter->drawStaticText(QPointF(rect.left(), rect.top() + (rect.height() - line.size().height()) / 2), line);
}
