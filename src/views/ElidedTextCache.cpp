// SPDX-License-Identifier: MIT
#include "ElidedTextCache.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr qsizetype kept = 256;

} // namespace

ElidedTextCache::ElidedTextCache(const QFont &font)
    : m_font(font)
    , m_texts(kept)
{}

void ElidedTextCache::draw(QPainter *painter, const QRect &rect, const QString &text)
{
    const std::pair<QString, int> key(text, rect.width());
    QStaticText *laidOut = m_texts.object(key);
    if (!laidOut) {
        laidOut = new QStaticText(QFontMetrics(m_font).elidedText(text, Qt::ElideRight, rect.width()));
        laidOut->setTextFormat(Qt::PlainText);
        laidOut->prepare(QTransform(), m_font);
        m_texts.insert(key, laidOut);
    }
    painter->setFont(m_font);
    const qreal top = rect.top() + (rect.height() - laidOut->size().height()) / 2;
    painter->drawStaticText(QPointF(rect.left(), top), *laidOut);
}
