// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QHBoxLayout;

// A row on the control background colour with the standard inset on all sides: the header and
// footer rows of the sheets and panes.
class HeaderBar final : public QWidget
{
    Q_OBJECT

public:
    explicit HeaderBar(QWidget *parent = nullptr);

    QHBoxLayout *row() const { return m_row; }

private:
    QHBoxLayout *m_row;
};
