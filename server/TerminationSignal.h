// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the event loop. The handler itself only writes the signal number
// into a socket pair; everything else happens when the loop reads it.
class TerminationSignal : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignal(QObject *parent = nullptr);
    ~TerminationSignal() override;

    bool install(QString *error);

    static QString name(int signalNumber);

signals:
    void received(int signalNumber);

private:
    static void handle(int signalNumber);
    void readPending();

    static int s_writeEnd;
    int m_sockets[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};
