// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QColor>
#include <QIconEngine>

// Draws one of our SVG symbols in a given colour at whatever size is asked for, so the symbol
// stays sharp at every scale and device pixel ratio. Pixmaps are rendered once per size, mode and
// pixel ratio and then taken from the application's pixmap cache: buttons and rows ask for them at
// every repaint.
class SymbolIconEngine final : public QIconEngine
{
public:
    // svg uses the word currentColor wherever the tint goes; name tells the symbol apart in the cache.
    SymbolIconEngine(QString name, QByteArray svg, QColor tint);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QIconEngine *clone() const override;
    QString key() const override;

private:
    QString m_name;
    QByteArray m_svg;
    QColor m_tint;
    QString m_cachePrefix;
};
