// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QWidget>

class QLabel;
class StatusDot;

// The badge beside an instance's name while it has a server: a dot and the run state in the
// state's colour ("Running" in green, "Starting…" or "Stopping…" in orange), on a light tint of
// that colour with rounded corners.
class RunStateBadge final : public QWidget
{
    Q_OBJECT

public:
    explicit RunStateBadge(QWidget *parent = nullptr);

    void setState(const QString &text, const QColor &color);
    QString text() const;

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    StatusDot *m_dot;
    QLabel *m_text;
};
