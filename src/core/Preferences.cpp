// SPDX-License-Identifier: MIT
#include "Preferences.h"

#include <QStandardPaths>

namespace {

const QString windowGroup = QStringLiteral("windows/");
const QString backgroundKey = QStringLiteral("background/keepRunning");
const QString noticeKey = QStringLiteral("background/noticeShown");

} // namespace

Preferences::Preferences(const QString &directory)
    : m_settings(directory + QStringLiteral("/preferences.conf"), QSettings::IniFormat)
{}

QString Preferences::standardDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/HalvexKelvane");
}

QByteArray Preferences::windowState(const QString &name) const
{
    return m_settings.value(windowGroup + name).toByteArray();
}

void Preferences::setWindowState(const QString &name, const QByteArray &state)
{
    m_settings.setValue(windowGroup + name, state);
}

bool Preferences::keepsRunningInBackground() const
{
    return m_settings.value(backgroundKey, false).toBool();
}

void Preferences::setKeepsRunningInBackground(bool keep)
{
    m_settings.setValue(backgroundKey, keep);
}

bool Preferences::backgroundNoticeShown() const
{
    return m_settings.value(noticeKey, false).toBool();
}

void Preferences::setBackgroundNoticeShown(bool shown)
{
    m_settings.setValue(noticeKey, shown);
}
