// SPDX-License-Identifier: MIT
#include "Divider.h"

Divider::Divider(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::HLine);
    setFrameShadow(QFrame::Sunken);
}
