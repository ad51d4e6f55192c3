// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QString>
#include <QStringList>
#include <QUrl>

class AppSettings;

// The instances' data directories, each the storage location with the instance's name appended.
// A directory the application creates gets a marker file naming the instance it was made for, and
// only such a directory is ever removed: one that was there before (a folder of the user's that
// happens to have the instance's name) is used as it is and left in place. The marker lives inside
// the directory, so it moves along when a rename moves the directory.
class DataDirectories
{
public:
    enum class Removal { Removed, Kept, Missing, Failed };
    enum class Move { Moved, NothingToMove, TargetExists, Failed };

    // Where the settings say, whenever asked; for the settings' own thread.
    explicit DataDirectories(const AppSettings *settings);
    // In this storage location, for any thread.
    explicit DataDirectories(QUrl location);

    // The marker's file name inside a directory the application created.
    static QString markerName();

    // A plain file-system path; empty for a name that fails the name rule.
    QString path(const QString &name) const;
    // Whether the instance's directory was made by the application for this instance.
    bool isOwn(const HalvexInstance &instance) const;

    // Creates the directory (and missing parents) unless it exists and marks a new one. Returns
    // the lines for the instance's log.
    QStringList create(const HalvexInstance &instance) const;
    // Removes the directory with everything in it if it is the instance's own; keeps it otherwise.
    Removal remove(const HalvexInstance &instance) const;
    // Moves the instance's directory to the path of newName, never over anything already there.
    // On failure, error holds the reason.
    Move move(const HalvexInstance &instance, const QString &newName, QString *error) const;

private:
    const AppSettings *m_settings = nullptr;
    QUrl m_location;
};
