// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPushButton>

// A push button filled with a tint colour and white text: the emphasised action of a screen.
// Without a tint of its own it takes the desktop's accent colour. The fill is the tint darkened as
// far as the white text needs to stay readable; the keyboard focus shows as a ring around it, and
// a disabled one keeps the outline of a button.
//
// It paints itself: a style sheet would be parsed and the button repolished at every change of
// the tint, which a start or a stop brings.
class ProminentButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit ProminentButton(const QString &text, QWidget *parent = nullptr);

    void setTint(const QColor &tint);
    QColor tint() const;
    // What the button is filled with while enabled.
    QColor fill() const;

    QSize sizeHint() const override;
    // The size hint the button would have with this text.
    QSize sizeHint(const QString &text) const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_tint;
};
