// SPDX-License-Identifier: MIT
#include "SelectableLabel.h"

#include <QEvent>

SelectableLabel::SelectableLabel(QWidget *parent)
    : QLabel(parent)
{
    // Never taken for rich text, whatever a name or a path holds.
    setTextFormat(Qt::PlainText);
}

void SelectableLabel::setSelectable(bool selectable)
{
    const Qt::TextInteractionFlags flags = selectable ? Qt::TextSelectableByMouse : Qt::NoTextInteraction;
    if (textInteractionFlags() != flags)
        setTextInteractionFlags(flags);
}

bool SelectableLabel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        setSelectable(true);
        break;
    case QEvent::Leave:
    case QEvent::FocusOut:
        // A selection being made or kept stays.
        if (!underMouse() && !hasFocus() && !hasSelectedText())
            setSelectable(false);
        break;
    default:
        break;
    }
    return QLabel::event(event);
}
