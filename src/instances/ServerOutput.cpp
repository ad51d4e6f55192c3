// SPDX-License-Identifier: MIT
#include "ServerOutput.h"

#include "ServerOutputReader.h"
#include "platform/ThreadPriority.h"

#include <QMutexLocker>
#include <QThread>

ServerOutput::ServerOutput(QObject *parent)
    : QObject(parent)
    , m_thread(new QThread(this))
    , m_reader(new ServerOutputReader(this))
{
    m_thread->setObjectName(QStringLiteral("server output"));
    m_reader->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_reader, &QObject::deleteLater);
    // A flooding server keeps this thread busy; the window's turns must not wait behind it (they
    // came up to 20 ms late). A server never waits for it either way: its output goes to a file.
    connect(m_thread, &QThread::started, m_thread, &ThreadPriority::yieldToWindow, Qt::DirectConnection);
}

ServerOutput::~ServerOutput()
{
    if (!m_thread->isRunning()) {
        delete m_reader;
        return;
    }
    m_thread->quit();
    m_thread->wait();
}

void ServerOutput::start()
{
    if (!m_thread->isRunning())
        m_thread->start();
}

void ServerOutput::follow(const QUuid &id, const QString &path, bool fromEnd)
{
    start();
    QMetaObject::invokeMethod(m_reader, [reader = m_reader, id, path, fromEnd] { reader->follow(id, path, fromEnd); });
}

void ServerOutput::finish(const QUuid &id)
{
    QMetaObject::invokeMethod(m_reader, [reader = m_reader, id] { reader->finish(id); });
}

void ServerOutput::deposit(const QUuid &id, QStringList entries, qsizetype skipped)
{
    QMutexLocker lock(&m_mutex);
    auto waiting = m_waiting.find(id);
    if (waiting == m_waiting.end()) {
        waiting = m_waiting.insert(id, {});
        m_waitingOrder.append(id);
    }
    // The entries skipped lie before these, so those still waiting from before the gap go too:
    // what waits is always one stretch of output, with the gap before it.
    if (skipped > 0) {
        skipped += waiting->size();
        waiting->clear();
    }
    *waiting += std::move(entries);
    skipped += keepNewest(*waiting);
    if (skipped > 0)
        m_skipped[id] += skipped;
    if (!std::exchange(m_deliveryAsked, true))
        QMetaObject::invokeMethod(this, &ServerOutput::deliver, Qt::QueuedConnection);
}

qsizetype ServerOutput::keepNewest(QStringList &entries)
{
    qsizetype kept = 0;
    qsizetype characters = 0;
    while (kept < entries.size() && kept < maximumWaiting) {
        characters += entries.at(entries.size() - 1 - kept).size();
        if (kept > 0 && characters > maximumWaitingCharacters)
            break;
        ++kept;
    }
    const qsizetype dropped = entries.size() - kept;
    entries.remove(0, dropped);
    return dropped;
}

void ServerOutput::announceFinished(const QUuid &id)
{
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            // Everything read before the end is handed over before the end is told.
            deliver();
            emit finished(id);
        },
        Qt::QueuedConnection);
}

void ServerOutput::deliver()
{
    QHash<QUuid, QStringList> waiting;
    QHash<QUuid, qsizetype> skipped;
    QList<QUuid> order;
    {
        QMutexLocker lock(&m_mutex);
        waiting.swap(m_waiting);
        skipped.swap(m_skipped);
        order.swap(m_waitingOrder);
        m_deliveryAsked = false;
    }
    for (const QUuid &id : std::as_const(order))
        emit entries(id, waiting.value(id), skipped.value(id));
}
