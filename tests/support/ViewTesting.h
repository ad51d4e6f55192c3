// SPDX-License-Identifier: MIT
#pragma once

#include "ScriptedPrompter.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <memory>

// Steps that the widget suites share: showing a window, finding a menu's entry, reading the
// alerts shown so far.
namespace ViewTesting {

// A new top-level widget of the size given, shown and exposed; none when it never was.
template<typename Widget, typename... Arguments>
std::unique_ptr<Widget> shown(const QSize &size, Arguments &&...arguments)
{
    auto widget = std::make_unique<Widget>(std::forward<Arguments>(arguments)...);
    widget->resize(size);
    widget->show();
    return QTest::qWaitForWindowExposed(widget.get()) ? std::move(widget) : nullptr;
}

// The visible entry of the menu with this text.
inline QAction *menuAction(const QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == text && action->isVisible())
            return action;
    }
    return nullptr;
}

// Each alert as "title: message".
inline QStringList alerts(const ScriptedPrompter &prompter)
{
    QStringList alerts;
    for (const ScriptedPrompter::Alert &alert : prompter.alerts())
        alerts.append(alert.title + QStringLiteral(": ") + alert.message);
    return alerts;
}

} // namespace ViewTesting
