// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// What a file chooser is asked for: its title and message, the filter and a suggestion.
struct FileChooserRequest
{
    enum class Mode { OpenFile, SaveFile, OpenDirectory };

    Mode mode = Mode::OpenFile;
    QString title;
    QString message;
    // Name filters such as "JSON files (*.json)"; empty: every file.
    QStringList nameFilters;
    // The suggested file name of a save chooser.
    QString suggestedName;
    // Where the chooser starts.
    QString directory;
};

// Every file chooser of the application goes through this seam, so that tests can answer it.
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    // Shows the chooser without blocking and calls done once, on the GUI thread, with the chosen
    // path, or with an empty string when the user cancelled. Nothing is called once context is
    // gone.
    virtual void choose(const FileChooserRequest &request, QObject *context,
                        std::function<void(const QString &path)> done) = 0;
};
