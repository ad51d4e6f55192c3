// SPDX-License-Identifier: MIT
#pragma once

#include <QFrame>

// A thin horizontal line between stacked parts of a screen.
class Divider final : public QFrame
{
    Q_OBJECT

public:
    explicit Divider(QWidget *parent = nullptr);
};
