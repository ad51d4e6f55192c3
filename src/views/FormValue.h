// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class SelectableLabel;

// The value beside a label of a form: one line of plain text that can be selected and copied.
// Its size never depends on its text: a value too long for its room is cut off at the edge and
// shows in full as its tooltip.
//
// The text is a label inside a widget without a layout, so that a new value costs no more than
// drawing it: a label asks for a new layout at every new text, and its own layout would lay out
// every layout above it up to the window.
class FormValue final : public QWidget
{
    Q_OBJECT

public:
    // name: what the value is, for assistive technologies.
    explicit FormValue(const QString &name, QWidget *parent = nullptr);

    // Does nothing when the text is the one shown already.
    void setValue(const QString &text);
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void measureText();
    void fitLabel();

    SelectableLabel *m_label;
    int m_textWidth = 0;
};
