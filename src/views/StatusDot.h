// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QWidget>

// A filled circle of 8 by 8 points that marks a running instance (or, in another colour, one that
// is starting or stopping).
class StatusDot final : public QWidget
{
    Q_OBJECT

public:
    explicit StatusDot(const QColor &color, QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};
