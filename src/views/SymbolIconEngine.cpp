// SPDX-License-Identifier: MIT
#include "SymbolIconEngine.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QSvgRenderer>

SymbolIconEngine::SymbolIconEngine(QString name, QByteArray svg, QColor tint)
    : m_name(std::move(name))
    , m_svg(std::move(svg))
    , m_tint(std::move(tint))
    , m_cachePrefix(QStringLiteral("HalvexSymbol/") + m_name + u'/' + QString::number(m_tint.rgba(), 16) + u'/')
{}

void SymbolIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    Q_UNUSED(state);
    QColor color = m_tint;
    if (mode == QIcon::Disabled)
        color.setAlphaF(color.alphaF() * 0.35);
    QByteArray svg = m_svg;
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(svg);
    painter->save();
    if (color.alphaF() < 1.0)
        painter->setOpacity(painter->opacity() * color.alphaF());
    renderer.render(painter, QRectF(rect));
    painter->restore();
}

QPixmap SymbolIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap SymbolIconEngine::scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale)
{
    // The state does not change the drawing, so it is not part of the key.
    const QString cacheKey = m_cachePrefix + QString::number(size.width()) + u'x' + QString::number(size.height()) +
                             u'/' + QString::number(static_cast<int>(mode)) + u'/' + QString::number(scale);
    QPixmap pixmap;
    if (QPixmapCache::find(cacheKey, &pixmap))
        return pixmap;
    pixmap = QPixmap(size * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    }
    QPixmapCache::insert(cacheKey, pixmap);
    return pixmap;
}

QIconEngine *SymbolIconEngine::clone() const
{
    return new SymbolIconEngine(m_name, m_svg, m_tint);
}

QString SymbolIconEngine::key() const
{
    return QStringLiteral("HalvexSymbol");
}
