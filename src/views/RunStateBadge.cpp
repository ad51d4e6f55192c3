// SPDX-License-Identifier: MIT
#include "RunStateBadge.h"

#include "StatusDot.h"
#include "SystemColors.h"
#include "Typography.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace {

constexpr qreal tintOpacity = 0.1;
constexpr qreal radius = 4;

} // namespace

RunStateBadge::RunStateBadge(QWidget *parent)
    : QWidget(parent)
    , m_color(SystemColors::green())
    , m_dot(new StatusDot(m_color, this))
    , m_text(new QLabel(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(4);
    row->addWidget(m_dot);
    m_text->setFont(Typography::caption());
    SystemColors::setTextColor(m_text, m_color);
    row->addWidget(m_text);
}

void RunStateBadge::setState(const QString &text, const QColor &color)
{
    m_text->setText(text);
    if (color == m_color)
        return;
    m_color = color;
    m_dot->setColor(color);
    SystemColors::setTextColor(m_text, color);
    update();
}

QString RunStateBadge::text() const
{
    return m_text->text();
}

void RunStateBadge::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The text stays readable on the new background.
    if (event->type() == QEvent::PaletteChange)
        SystemColors::setTextColor(m_text, m_color);
}

void RunStateBadge::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QColor tint = m_color;
    tint.setAlphaF(static_cast<float>(tintOpacity));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
}
