// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// Where the application keeps its own files: one directory (mode 0700, since the files in it
// hold tokens) with settings.json, instances.json, the installed server and its unpacking area.
// Every path getter creates the directory first; a failure to create it is left to the reader
// or writer of the file to notice. The state files create it again before each write, in case
// it has gone while the application runs.
class AppPaths
{
public:
    explicit AppPaths(QString directory);
    // $XDG_DATA_HOME/HalvexKelvane, ~/.local/share/HalvexKelvane by default.
    static AppPaths standard();
    // The halvex server installed along with the application whose program lies in
    // applicationDir, if that installation holds one that can run. A build tree holds none.
    static std::optional<QString> bundledServer(const QString &applicationDir);
    // Creates the directory with mode 0700 (and any missing parents) unless it exists.
    static void createPrivateDirectory(const QString &directory);

    QString directory() const;
    QString settingsFile() const;
    QString registryFile() const;
    QString binaryInstallPath() const;
    QString extractionDirectory() const;

private:
    QString file(const QString &name) const;

    QString m_directory;
};
