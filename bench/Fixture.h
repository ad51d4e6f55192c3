// SPDX-License-Identifier: MIT
#pragma once

#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

// Managers over a temporary state directory, as the tests build them, without a window. With a
// registry, the manager starts by loading it, as the application does at start-up.
class Fixture
{
public:
    explicit Fixture(const QString &base = QDir::tempPath(), const QByteArray &registry = QByteArray())
        : m_dir(base + QStringLiteral("/halvex-bench-XXXXXX"))
        , m_settings(std::make_unique<AppSettings>(AppPaths(m_dir.filePath(QStringLiteral("state")))))
    {
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("data"))));
        m_settings->setTimezone(QStringLiteral("UTC"));
        if (!registry.isEmpty()) {
            QFile file(registryFile());
            if (file.open(QIODevice::WriteOnly))
                file.write(registry);
        }
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString registryFile() const { return m_dir.filePath(QStringLiteral("instances.json")); }
    AppSettings *settings() const { return m_settings.get(); }
    std::unique_ptr<InstanceManager> manager() const
    {
        return std::make_unique<InstanceManager>(m_settings.get(), registryFile());
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppSettings> m_settings;
};
