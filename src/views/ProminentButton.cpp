// SPDX-License-Identifier: MIT
#include "ProminentButton.h"

#include "AccessibleStyle.h"
#include "SystemColors.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace {

// Room around the fill for the focus ring, so that the ring never covers the fill or the text.
constexpr int ringSpace = 3;
constexpr int radius = 5;
constexpr int border = 1;
constexpr int horizontalPadding = 13;
constexpr int verticalPadding = 3;

} // namespace

ProminentButton::ProminentButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    setAccessibleName(text);
    // The fill darkens under the pointer.
    setAttribute(Qt::WA_Hover);
}

void ProminentButton::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

QColor ProminentButton::tint() const
{
    return m_tint.isValid() ? m_tint : palette().color(QPalette::Active, QPalette::Highlight);
}

QColor ProminentButton::fill() const
{
    return SystemColors::readable(tint(), Qt::white);
}

QSize ProminentButton::sizeHint() const
{
    return sizeHint(text());
}

QSize ProminentButton::sizeHint(const QString &text) const
{
    ensurePolished();
    const QString shown = text.isEmpty() ? QStringLiteral("XXXX") : text;
    const QSize content = fontMetrics().size(Qt::TextShowMnemonic, shown);
    return content + 2 * QSize(horizontalPadding + border + ringSpace, verticalPadding + border + ringSpace);
}

QSize ProminentButton::minimumSizeHint() const
{
    return sizeHint();
}

void ProminentButton::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QPalette palette = this->palette();
    QColor background;
    QColor outline;
    QColor text;
    if (isEnabled()) {
        const QColor base = fill();
        background = isDown() || isChecked()                    ? base.darker(125)
                     : (option.state & QStyle::State_MouseOver) ? base.darker(110)
                                                                : base;
        outline = background;
        text = Qt::white;
    } else {
        // Dimmer than enabled text, yet legible; the outline keeps the shape of a button.
        background = palette.color(QPalette::Active, QPalette::Button);
        text = SystemColors::readable(palette.color(QPalette::Disabled, QPalette::ButtonText), background,
                                      SystemColors::markContrast);
        outline = SystemColors::readable(background, background, 2.0);
    }

    QPainter painter(this);
    const QRect box = rect().adjusted(ringSpace, ringSpace, -ringSpace, -ringSpace);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(outline, border));
    painter.setBrush(background);
    const qreal half = border / 2.0;
    painter.drawRoundedRect(QRectF(box).adjusted(half, half, -half, -half), radius - half, radius - half);
    painter.restore();

    option.rect = box.adjusted(border + horizontalPadding, border + verticalPadding, -border - horizontalPadding,
                               -border - verticalPadding);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        option.palette.setColor(group, QPalette::ButtonText, text);
    style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);

    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange))
        AccessibleStyle::drawFocusRing(&painter, QRectF(rect()), palette, radius + ringSpace);
}
