// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileChooser.h"

#include <QList>
#include <QQueue>
#include <QTimer>

// Answers file choosers from a script: each request takes the next answer (a path, or an empty
// string for a cancel), delivered on the next turn of the event loop as a real dialog would.
class ScriptedFileChooser final : public FileChooser
{
public:
    void answer(const QString &path) { m_answers.enqueue(path); }
    void cancel() { m_answers.enqueue(QString()); }

    const QList<FileChooserRequest> &requests() const { return m_requests; }

    void choose(const FileChooserRequest &request, QObject *context,
                std::function<void(const QString &path)> done) override
    {
        m_requests.append(request);
        const QString path = m_answers.isEmpty() ? QString() : m_answers.dequeue();
        QTimer::singleShot(0, context, [path, done = std::move(done)] { done(path); });
    }

private:
    QQueue<QString> m_answers;
    QList<FileChooserRequest> m_requests;
};
