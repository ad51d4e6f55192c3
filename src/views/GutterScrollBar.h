// SPDX-License-Identifier: MIT
#pragma once

#include <QScrollBar>

// A scroll bar that keeps its room while there is nothing to scroll, and shows nothing there
// then. Set always on, it keeps a page as wide whether it scrolls or not: when a section shows or
// hides, the rest of the page stays where it was and is not drawn again, and nothing jumps
// sideways.
class GutterScrollBar final : public QScrollBar
{
    Q_OBJECT

public:
    explicit GutterScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
