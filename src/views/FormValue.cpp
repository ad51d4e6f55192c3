// SPDX-License-Identifier: MIT
#include "FormValue.h"

#include <QHelpEvent>
#include <QToolTip>

FormValue::FormValue(QWidget *parent)
    : SelectableLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
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
    if (event->type() != QEvent::ToolTip)
        return SelectableLabel::event(event);
    // Only a value that is cut off needs its tooltip.
    if (fontMetrics().horizontalAdvance(text()) > contentsRect().width())
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
    else
        QToolTip::hideText();
    return true;
}
