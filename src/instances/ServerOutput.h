// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QUuid>

#include <chrono>

class QThread;
class ServerOutputReader;

// Follows the files that servers write their output to and hands their entries to the GUI thread.
// The files are read on a thread of their own, so a busy window never slows a server down; what
// waits for the window is bounded to one log's worth of entries per server.
class ServerOutput final : public QObject
{
    Q_OBJECT

public:
    // At most this many entries wait per server: the log keeps no more.
    static constexpr qsizetype maximumWaiting = 1000;
    // Nor more than this many characters (2 MB): a flood's entries are long, and what a busy window
    // has not taken yet would otherwise grow to tens of megabytes, most of it to leave the log as
    // soon as it arrives.
    static constexpr qsizetype maximumWaitingCharacters = 1024 * 1024;
    // Output is read in chunks of at most this many bytes, and the complete lines of a chunk make
    // one entry: 1000 entries of a flooding server stay within about 24 MB.
    static constexpr qint64 maximumChunk = 12 * 1024;
    // How long the start of a line may wait for its end before it is logged as it is.
    static constexpr std::chrono::milliseconds partialLineWait{100};

    explicit ServerOutput(QObject *parent = nullptr);
    ~ServerOutput() override;

    // Starts the thread that reads the files ahead of the first follow(), which starts it otherwise.
    void start();

    // Starts following the file; with fromEnd, what it holds already is skipped (the output of a
    // server found running from an earlier session, which this run never saw).
    void follow(const QUuid &id, const QString &path, bool fromEnd);
    // Drops the oldest entries beyond either bound, and returns how many; the newest one is always
    // kept.
    static qsizetype keepNewest(QStringList &entries);

    // Reads what is left of the file, hands it over, then reports finished(id) and lets go of it.
    void finish(const QUuid &id);

signals:
    // New entries of one server, oldest first, stamped with the time they were read (see
    // LogTimeStamp). Skipped entries came between those handed over before and these: a server
    // that writes faster than the log takes its entries loses the oldest of those still waiting.
    void entries(const QUuid &id, const QStringList &entries, qsizetype skipped);
    // Every entry of the server has been handed over.
    void finished(const QUuid &id);

private:
    friend class ServerOutputReader;
    // Called on the reader's thread.
    void deposit(const QUuid &id, QStringList entries, qsizetype skipped);
    void announceFinished(const QUuid &id);
    // On the GUI thread.
    void deliver();

    QThread *m_thread;
    ServerOutputReader *m_reader;
    QMutex m_mutex;
    QHash<QUuid, QStringList> m_waiting;
    QHash<QUuid, qsizetype> m_skipped; // before the entries waiting
    QList<QUuid> m_waitingOrder;
    bool m_deliveryAsked = false;
};
