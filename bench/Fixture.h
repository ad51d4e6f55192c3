// SPDX-License-Identifier: MIT
#pragma once

#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include <QTemporaryDir>

#include <memory>

// Managers over a temporary state directory, as the tests build them.
class Fixture
{
public:
    Fixture()
        : m_settings(std::make_unique<AppSettings>(AppPaths(m_dir.filePath(QStringLiteral("state")))))
    {
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("data"))));
        m_settings->setTimezone(QStringLiteral("UTC"));
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    AppSettings *settings() const { return m_settings.get(); }
    std::unique_ptr<InstanceManager> manager() const
    {
        return std::make_unique<InstanceManager>(m_settings.get(), m_dir.filePath(QStringLiteral("instances.json")));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppSettings> m_settings;
};
