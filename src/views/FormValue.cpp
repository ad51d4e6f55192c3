// SPDX-License-Identifier: MIT
#include "FormValue.h"

#include <QHelpEvent>
#include <QToolTip>

FormValue::FormValue(QWidget *parent)
    : QLabel(parent)
{
    // Never taken for rich text, whatever a name or a path holds.
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void FormValue::setSelectable(bool selectable)
{
    const Qt::TextInteractionFlags flags = selectable ? Qt::TextSelectableByMouse : Qt::NoTextInteraction;
    if (textInteractionFlags() != flags)
        setTextInteractionFlags(flags);
}

void FormValue::setValue(const QString &text)
{
    if (text != this->text())
        setText(text);
}

QSize FormValue::sizeHint() const
{
    // As wide as a few words: the form gives the values all the room it has.
    return QSize(fontMetrics().averageCharWidth() * 20, fontMetrics().height());
}

QSize FormValue::minimumSizeHint() const
{
    return QSize(0, fontMetrics().height());
}

bool FormValue::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        setSelectable(true);
        break;
    case QEvent::Leave:
    case QEvent::FocusOut:
        // A selection being made or kept stays; otherwise the value goes back to plain drawing.
        if (!underMouse() && !hasFocus() && !hasSelectedText())
            setSelectable(false);
        break;
    default:
        break;
    }
    if (event->type() != QEvent::ToolTip)
        return QLabel::event(event);
    // Only a value that is cut off needs its tooltip.
    if (fontMetrics().horizontalAdvance(text()) > contentsRect().width())
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
    else
        QToolTip::hideText();
    return true;
}
