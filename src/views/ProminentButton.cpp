// SPDX-License-Identifier: MIT
#include "ProminentButton.h"

#include "AccessibleStyle.h"
#include "SystemColors.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace {

// Room around the fill for the focus ring, so that the ring never covers the fill or the text.
constexpr int ringSpace = 3;
constexpr int radius = 5;

} // namespace

ProminentButton::ProminentButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    setAccessibleName(text);
    applyTint();
}

void ProminentButton::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    applyTint();
}

QColor ProminentButton::tint() const
{
    return m_tint.isValid() ? m_tint : QApplication::palette(this).color(QPalette::Active, QPalette::Highlight);
}

QColor ProminentButton::fill() const
{
    return SystemColors::readable(tint(), Qt::white);
}

void ProminentButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    // The accent colour and the disabled look follow the desktop's palette.
    if (event->type() == QEvent::PaletteChange)
        applyTint();
}

void ProminentButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    QPainter painter(this);
    AccessibleStyle::drawFocusRing(&painter, QRectF(rect()), QApplication::palette(this), radius + ringSpace);
}

void ProminentButton::applyTint()
{
    // The application's palette, not the widget's: the style sheet below rewrites the latter.
    const QPalette palette = QApplication::palette(this);
    const QColor base = fill();
    const QColor button = palette.color(QPalette::Active, QPalette::Button);
    // Dimmer than enabled text, yet legible; the outline keeps the shape of a button.
    const QColor disabledText = SystemColors::readable(palette.color(QPalette::Disabled, QPalette::ButtonText), button,
                                                       SystemColors::markContrast);
    const QColor outline = SystemColors::readable(button, button, 2.0);
    const QString sheet =
        QStringLiteral("QPushButton { background-color: %1; color: #ffffff; border: 1px solid %1;"
                       " border-radius: %6px; padding: 3px 13px; margin: %7px; outline: none; }"
                       "QPushButton:hover { background-color: %2; border-color: %2; }"
                       "QPushButton:pressed { background-color: %3; border-color: %3; }"
                       "QPushButton:disabled { background-color: %4; color: %5; border-color: %8; }")
            .arg(base.name(), base.darker(110).name(), base.darker(125).name(), button.name(), disabledText.name())
            .arg(radius)
            .arg(ringSpace)
            .arg(outline.name());
    // Setting a style sheet changes the palette: only a new one, or this would never end.
    if (sheet != styleSheet())
        setStyleSheet(sheet);
}
