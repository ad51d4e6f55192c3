// SPDX-License-Identifier: MIT
#include "HeaderBar.h"

#include "Metrics.h"
#include "SystemColors.h"

#include <QHBoxLayout>

HeaderBar::HeaderBar(QWidget *parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
{
    SystemColors::fillWithControlBackground(this);
    m_row->setContentsMargins(Metrics::standardInset, Metrics::standardInset, Metrics::standardInset,
                              Metrics::standardInset);
}
