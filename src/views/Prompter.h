// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every alert and question of the views goes through this seam, so that tests can read and
// answer them without a dialog ever blocking.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // An alert with the title, the message and one "OK" button, over the parent's window.
    virtual void alert(QWidget *parent, const QString &title, const QString &message) = 0;
    // A question whose destructive answer is labelled action; done is called once, on the GUI
    // thread, with whether the user chose it. Nothing is called once parent is gone.
    virtual void confirm(QWidget *parent, const QString &title, const QString &message, const QString &action,
                         std::function<void(bool confirmed)> done) = 0;
};
