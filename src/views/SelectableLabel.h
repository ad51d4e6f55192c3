// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

// A label whose plain text can be selected with the mouse and copied. It turns selectable when
// the pointer comes over it and back when the pointer leaves without a selection: a selectable
// label keeps its text as a document, laid out again at every new text and at every size asked
// for, which costs several times what drawing the same text does. Both ways draw the same pixels.
class SelectableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit SelectableLabel(QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;

private:
    void setSelectable(bool selectable);
};
