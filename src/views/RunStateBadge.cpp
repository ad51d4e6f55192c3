// SPDX-License-Identifier: MIT
#include "RunStateBadge.h"

#include "SystemColors.h"
#include "Typography.h"

#include <QEvent>
#include <QPainter>

namespace {

constexpr qreal tintOpacity = 0.1;
constexpr qreal radius = 4;
constexpr QMargins padding(8, 4, 8, 4);
constexpr int dotSize = 8;
constexpr int dotSpacing = 4;

} // namespace

RunStateBadge::RunStateBadge(QWidget *parent)
    : QWidget(parent)
    , m_color(SystemColors::green())
{
    setFont(Typography::caption());
}

void RunStateBadge::setState(const QString &text, const QColor &color)
{
    if (text == m_text && color == m_color)
        return;
    if (text != m_text)
        updateGeometry();
    m_text = text;
    m_color = color;
    setAccessibleName(text);
    update();
}

QSize RunStateBadge::sizeHint() const
{
    if (m_text.isEmpty())
        return QSize(0, 0);
    // As wide as a label of the text would be: its advance rounded up.
    const int textWidth = Typography::labelWidth(font(), m_text);
    return QSize(dotSize + dotSpacing + textWidth, std::max(dotSize, fontMetrics().height())).grownBy(padding);
}

QSize RunStateBadge::minimumSizeHint() const
{
    return sizeHint();
}

void RunStateBadge::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateGeometry();
}

void RunStateBadge::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    if (m_text.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor tint = m_color;
    tint.setAlphaF(static_cast<float>(tintOpacity));
    painter.setBrush(tint);
    painter.drawRoundedRect(QRectF(rect()), radius, radius);

    const QRect content = rect().marginsRemoved(padding);
    painter.setBrush(m_color);
    painter.drawEllipse(QRect(content.left(), content.top() + (content.height() - dotSize) / 2, dotSize, dotSize));
    // The text stays readable on the palette of the moment, light or dark.
    painter.setPen(SystemColors::tintedText(m_color, palette()));
    painter.drawText(content.adjusted(dotSize + dotSpacing, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
