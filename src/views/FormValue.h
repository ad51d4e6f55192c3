// SPDX-License-Identifier: MIT
#pragma once

#include "SelectableLabel.h"

// The value beside a label of a form: one line of plain text that can be selected and copied.
// Its size never depends on its text, so that a new value costs no more than drawing it: a value
// too long for its room is cut off at the edge and shows in full as its tooltip.
class FormValue final : public SelectableLabel
{
    Q_OBJECT

public:
    explicit FormValue(QWidget *parent = nullptr);

    // Does nothing when the text is the one shown already.
    void setValue(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
};
