// SPDX-License-Identifier: MIT
#include "Sandbox.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUrl>

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

Sandbox::Sandbox(const QString &base, const QByteArray &registry, const QString &executable)
    : m_dir(base + QStringLiteral("/halvex-bench-XXXXXX"))
{
    QDir().mkpath(stateDirectory());
    QDir().mkpath(path(QStringLiteral("runtime")));
    QFile::setPermissions(path(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QJsonObject settings{
        {QStringLiteral("dataStorageLocation"), QUrl::fromLocalFile(storageLocation()).toString()},
        {QStringLiteral("binaryPath"), QUrl::fromLocalFile(executable).toString()},
        {QStringLiteral("timezone"), QStringLiteral("UTC")},
    };
    write(stateDirectory() + QStringLiteral("/settings.json"), QJsonDocument(settings).toJson(QJsonDocument::Compact));
    if (!registry.isEmpty())
        write(stateDirectory() + QStringLiteral("/instances.json"), registry);
    write(path(QStringLiteral("hosts")), "127.0.0.1 localhost\n");
    m_dir.setAutoRemove(false);
}

Sandbox::~Sandbox()
{
    // The host-name change asked for as the application quits runs on after it by design, and may
    // write the hosts file again just after a removal; the removal is tried until it holds.
    const QDeadlineTimer deadline(5000);
    while (!QDir(m_dir.path()).removeRecursively() && !deadline.hasExpired())
        QThread::msleep(20);
}

QProcessEnvironment Sandbox::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("HALVEX_KELVANE_HOSTS_FILE"), path(QStringLiteral("hosts")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")));
    return environment;
}

QList<HalvexInstance> Sandbox::records(int count)
{
    QList<HalvexInstance> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        records.append(HalvexInstance::create(QStringLiteral("instance-%1").arg(i),
                                              QStringLiteral("token-%1-0123456789abcdef").arg(i), 10000 + i));
    }
    return records;
}

QByteArray Sandbox::registry(const QList<HalvexInstance> &records)
{
    QJsonArray array;
    for (const HalvexInstance &record : records)
        array.append(record.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}
