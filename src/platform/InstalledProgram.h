// SPDX-License-Identifier: MIT
#pragma once

#include <QFileInfo>
#include <QString>

// Whether the program running from programDir is the installed one, in the directory the
// installation put it (installedProgramDir). Only that program uses what was installed with it; a
// build tree's, which may be another version, never does.
inline bool isInstalledProgram(const QString &installedProgramDir, const QString &programDir)
{
    const QString installed = QFileInfo(installedProgramDir).canonicalFilePath();
    return !installed.isEmpty() && installed == QFileInfo(programDir).canonicalFilePath();
}
