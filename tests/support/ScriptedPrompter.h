// SPDX-License-Identifier: MIT
#pragma once

#include "views/Prompter.h"

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QTimer>
#include <QWidget>

// Records every alert and answers questions from a script (false when none is left), on the
// next turn of the event loop as a real dialog would.
class ScriptedPrompter final : public Prompter
{
public:
    struct Alert
    {
        QString title;
        QString message;
    };
    struct Question
    {
        QString title;
        QString message;
        QString action;
    };

    void answer(bool confirmed) { m_answers.enqueue(confirmed); }
    const QList<Alert> &alerts() const { return m_alerts; }
    const QList<Question> &questions() const { return m_questions; }

    void alert(QWidget *parent, const QString &title, const QString &message) override
    {
        Q_UNUSED(parent);
        m_alerts.append({title, message});
    }

    void confirm(QWidget *parent, const QString &title, const QString &message, const QString &action,
                 std::function<void(bool confirmed)> done) override
    {
        m_questions.append({title, message, action});
        const bool confirmed = !m_answers.isEmpty() && m_answers.dequeue();
        QPointer<QWidget> guard(parent);
        QTimer::singleShot(0, parent, [guard, confirmed, done = std::move(done)] {
            if (guard)
                done(confirmed);
        });
    }

private:
    QQueue<bool> m_answers;
    QList<Alert> m_alerts;
    QList<Question> m_questions;
};
