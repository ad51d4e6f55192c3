// SPDX-License-Identifier: MIT
#pragma once

#include "Prompter.h"

// Alerts and questions as window-modal AlertDialogs that do not block the event loop.
class DialogPrompter final : public Prompter
{
public:
    void alert(QWidget *parent, const QString &title, const QString &message) override;
    void confirm(QWidget *parent, const QString &title, const QString &message, const QString &action,
                 std::function<void(bool confirmed)> done) override;
};
