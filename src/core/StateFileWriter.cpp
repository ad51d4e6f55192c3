// SPDX-License-Identifier: MIT
#include "StateFileWriter.h"

#include <QMutexLocker>

StateFileWriter::StateFileWriter(StateFile *file, QObject *parent)
    : QObject(parent)
    , m_file(file)
{
    // One thread: writes of the same file in the order they were handed in. Once made it is kept,
    // so that a save does not wait for a thread to be created.
    m_thread.setMaxThreadCount(1);
    m_thread.setExpiryTimeout(-1);
}

void StateFileWriter::prepare()
{
    m_thread.start([] {});
}

StateFileWriter::~StateFileWriter()
{
    m_thread.waitForDone();
}

void StateFileWriter::write(QByteArray bytes)
{
    QMutexLocker lock(&m_mutex);
    m_pending = std::move(bytes);
    if (std::exchange(m_scheduled, true))
        return;
    m_thread.start([this] { writePending(); });
}

void StateFileWriter::writePending()
{
    QMutexLocker lock(&m_mutex);
    while (m_pending) {
        const QByteArray bytes = *std::exchange(m_pending, std::nullopt);
        lock.unlock();
        QString error;
        m_file->write(bytes, &error);
        lock.relock();
        m_outcomes.append(error);
        QMetaObject::invokeMethod(this, &StateFileWriter::reportOutcomes, Qt::QueuedConnection);
    }
    m_scheduled = false;
    m_idle.wakeAll();
}

void StateFileWriter::flush()
{
    // Not QThreadPool::waitForDone(), which ends the thread, so that the next save would have to
    // make one again.
    QMutexLocker lock(&m_mutex);
    while (m_scheduled)
        m_idle.wait(&m_mutex);
    lock.unlock();
    reportOutcomes();
}

void StateFileWriter::reportOutcomes()
{
    QMutexLocker lock(&m_mutex);
    const QStringList outcomes = std::exchange(m_outcomes, {});
    lock.unlock();
    for (const QString &error : outcomes)
        emit written(error);
}
