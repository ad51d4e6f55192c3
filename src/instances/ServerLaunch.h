// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"
#include "instances/DataDirectories.h"
#include "instances/RunRecords.h"
#include "instances/ServerProcess.h"

#include <QString>
#include <QStringList>

#include <optional>

// Everything a start does before the server's run can be reported: the checks of the executable
// and the port, the data directory, the spawn and the run record. Made of plain values, so that it
// can run on any thread; what it finds is told as the lines the instance's log gains.
struct ServerLaunch
{
    struct Outcome
    {
        HalvexInstance instance;
        QStringList log;
        // The server's PID, when it was started.
        std::optional<qint64> pid;
    };

    HalvexInstance instance;
    QString executable;
    DataDirectories directories;
    // The server's whole environment, taken when the start was asked.
    QByteArrayList environment;
    // The lines that show the environment in the log: the token shortened, as the user may see it.
    QStringList environmentLog;
    QString outputFile;
    RunRecords runRecords;

    Outcome run() const;

private:
    // The look at the executable; false when the launch must stop.
    bool verifyExecutable(QStringList &log) const;
    // Says who holds the port when it is taken; false when the launch must stop.
    bool verifyPortIsFree(QStringList &log) const;
};
