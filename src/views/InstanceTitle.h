// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QLabel;
class RunStateBadge;
class SelectableLabel;

// The title of the detail pane: the instance's name with its run state badge after it, and below
// them its address after a link symbol. Names and addresses can be selected and copied.
//
// It places them itself rather than through layouts: a label asks for a new layout at every new
// text, and its layout lays out every layout above it up to the window, which took a third of the
// time of a change of selection. A text too long for the room is cut off at the edge (the badge
// stays in view) and shows in full as its tooltip.
class InstanceTitle final : public QWidget
{
    Q_OBJECT

public:
    explicit InstanceTitle(QWidget *parent = nullptr);

    void setName(const QString &name);
    void setAddress(const QString &address);
    // The badge's text and colour; no text while the instance has no server.
    void setState(const QString &text, const QColor &color);
    QString stateText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The height a label in a layout asks for: that of a line.
    static int lineHeight(const QLabel *label);
    // The heights of the rows, which depend on the fonts and not on the texts.
    int nameRowHeight() const;
    int addressRowHeight() const;
    // Shows the text in the label and keeps its width.
    void setText(SelectableLabel *label, int &width, const QString &text);
    void measure();
    void place();

    SelectableLabel *m_name;
    RunStateBadge *m_badge;
    QLabel *m_linkSymbol;
    SelectableLabel *m_address;
    int m_nameWidth = 0;
    int m_nameHeight = 0;
    int m_addressWidth = 0;
    int m_addressHeight = 0;
};
