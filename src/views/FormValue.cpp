// SPDX-License-Identifier: MIT
#include "FormValue.h"

#include "SelectableLabel.h"
#include "Typography.h"

#include <QHelpEvent>
#include <QToolTip>

#include <algorithm>

FormValue::FormValue(const QString &name, QWidget *parent)
    : QWidget(parent)
    , m_label(new SelectableLabel(this))
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_label->setAccessibleName(name);
}

void FormValue::setValue(const QString &text)
{
    if (text == m_label->text())
        return;
    m_label->setText(text);
    measureText();
}

void FormValue::measureText()
{
    // Glyphs may reach past their advance.
    const int overhang = std::max(0, -fontMetrics().minRightBearing());
    m_textWidth = Typography::labelWidth(font(), m_label->text()) + overhang;
    fitLabel();
}

void FormValue::fitLabel()
{
    // The label spans its text, not the row: a new value repaints where the old and the new text
    // lie, and not the whole width of the form behind them.
    m_label->setGeometry(0, 0, std::min(m_textWidth, width()), height());
}

QString FormValue::text() const
{
    return m_label->text();
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
        return QWidget::event(event);
    // Only a value that is cut off needs its tooltip: one whose text is wider than the row.
    if (m_textWidth > width())
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
    else
        QToolTip::hideText();
    return true;
}

void FormValue::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        measureText();
}

void FormValue::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitLabel();
}
