// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QWidget>

// The badge beside an instance's name while it has a server: a dot and the run state in the
// state's colour ("Running" in green, "Starting…" or "Stopping…" in orange), on a light tint of
// that colour with rounded corners. Without a text it shows nothing and takes no room.
//
// It paints itself and is never hidden: showing a widget lays out every layout above it at
// once, which made the badge the largest cost of starting or stopping a server.
class RunStateBadge final : public QWidget
{
    Q_OBJECT

public:
    explicit RunStateBadge(QWidget *parent = nullptr);

    void setState(const QString &text, const QColor &color);
    QString text() const { return m_text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QColor m_color;
};
