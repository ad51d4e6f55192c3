// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPushButton>

// A push button filled with a tint colour and white text: the emphasised action of a screen.
// Without a tint of its own it takes the desktop's accent colour.
class ProminentButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit ProminentButton(const QString &text, QWidget *parent = nullptr);

    void setTint(const QColor &tint);
    QColor tint() const;

private:
    void applyTint();

    QColor m_tint;
};
