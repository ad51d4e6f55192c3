// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

// How the user likes the desktop side of the application: window places and sizes, divider
// positions, whether closing the window keeps the application in the background. Kept apart from
// the state files (settings.json, instances.json), whose form other tools may rely on, in
// $XDG_CONFIG_HOME/HalvexKelvane/preferences.conf.
class Preferences
{
public:
    // The preferences file in directory.
    explicit Preferences(const QString &directory);
    // $XDG_CONFIG_HOME/HalvexKelvane, ~/.config/HalvexKelvane by default.
    static QString standardDirectory();

    // What QWidget::saveGeometry() or QSplitter::saveState() gave for the named window or
    // divider; empty when nothing was kept yet.
    QByteArray windowState(const QString &name) const;
    void setWindowState(const QString &name, const QByteArray &state);

    // Closing the main window hides it and the servers keep running; off unless the user chose it.
    bool keepsRunningInBackground() const;
    void setKeepsRunningInBackground(bool keep);
    // The notice that says where the application went when its window closed was shown once.
    bool backgroundNoticeShown() const;
    void setBackgroundNoticeShown(bool shown);

private:
    mutable QSettings m_settings;
};
