// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP, turned into a signal on the event loop so that they quit the
// application the way its Quit command does. The handler only writes the signal's number into a
// socket pair; nothing is blocked, so every child the application starts gets its signals as
// usual (a blocked mask would be inherited, and a server could no longer be stopped).
class QuitSignals final : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    // Puts the previous handlers back.
    ~QuitSignals() override;

signals:
    void received(int signalNumber);

private:
    void readPending();

    int m_sockets[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};
