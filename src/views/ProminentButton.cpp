// SPDX-License-Identifier: MIT
#include "ProminentButton.h"

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
    return m_tint.isValid() ? m_tint : palette().color(QPalette::Active, QPalette::Highlight);
}

void ProminentButton::applyTint()
{
    const QColor base = tint();
    const QColor disabled = palette().color(QPalette::Disabled, QPalette::Button);
    const QColor disabledText = palette().color(QPalette::Disabled, QPalette::ButtonText);
    setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: #ffffff; border: none;"
                       " border-radius: 5px; padding: 4px 14px; }"
                       "QPushButton:hover { background-color: %2; }"
                       "QPushButton:pressed { background-color: %3; }"
                       "QPushButton:disabled { background-color: %4; color: %5; }")
            .arg(base.name(), base.lighter(108).name(), base.darker(115).name(), disabled.name(), disabledText.name()));
}
