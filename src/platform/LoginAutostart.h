// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Whether the application starts, in the background, when the user logs in to the desktop. On
// Linux it is an entry in the desktop's autostart folder, $XDG_CONFIG_HOME/autostart, which the
// session starts at login; the entry runs the program with --background.
class LoginAutostart
{
public:
    // The entry in configHome/autostart that starts command ("halvex-kelvane" or a path).
    LoginAutostart(const QString &configHome, QString command);
    // $XDG_CONFIG_HOME, ~/.config by default.
    static QString standardConfigHome();
    // How the entry names the program at programPath: by its name alone when that name on PATH is
    // this very program (an installed one, which keeps working when a new version replaces it),
    // else by its absolute path (a build tree or a copy that the name would not start).
    static QString commandFor(const QString &programPath);

    QString entryPath() const { return m_entryPath; }
    // The entry is there and the desktop has not been told to skip it (Hidden=true, or GNOME's
    // X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;
    // Writes or removes the entry. On failure, error holds a sentence for the user.
    bool setEnabled(bool enabled, QString *error = nullptr);

private:
    QByteArray entryText() const;

    QString m_entryPath;
    QString m_command;
};
