// SPDX-License-Identifier: MIT
#include "ServerConfig.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryFile>

std::optional<ServerConfig> ServerConfig::fromEnvironment(const QProcessEnvironment &environment, QString *error)
{
    ServerConfig config;

    // The token is never echoed: the output ends up in logs that others may read.
    config.m_authToken = environment.value(QStringLiteral("HALVEX_AUTH_TOKEN")).toUtf8();
    if (config.m_authToken.isEmpty()) {
        *error = QStringLiteral("HALVEX_AUTH_TOKEN is missing or empty; the server needs a token to demand of clients");
        return std::nullopt;
    }

    const QString portText = environment.value(QStringLiteral("HALVEX_PORT"));
    const std::optional<quint16> port = parsePort(portText);
    if (!port) {
        *error = QStringLiteral("HALVEX_PORT must be a decimal number from 1 to 65535, not \"%1\"").arg(portText);
        return std::nullopt;
    }
    config.m_port = *port;

    const QString zoneName = environment.value(QStringLiteral("HALVEX_TZ"));
    config.m_timeZone = QTimeZone(zoneName.toUtf8());
    if (zoneName.isEmpty() || !config.m_timeZone.isValid()) {
        *error = QStringLiteral("HALVEX_TZ names no known time zone: \"%1\"").arg(zoneName);
        return std::nullopt;
    }

    // Checked last, because it is the only check that changes the disk.
    const QString dataDirectory = environment.value(QStringLiteral("HALVEX_DATA_DIR"));
    if (dataDirectory.isEmpty()) {
        *error = QStringLiteral("HALVEX_DATA_DIR is missing or empty");
        return std::nullopt;
    }
    config.m_dataDirectory = QDir::cleanPath(QDir(dataDirectory).absolutePath());
    if (!prepareDataDirectory(config.m_dataDirectory, error))
        return std::nullopt;

    return config;
}

std::optional<quint16> ServerConfig::parsePort(const QString &text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const uint port = text.toUInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

bool ServerConfig::prepareDataDirectory(const QString &path, QString *error)
{
    if (!QDir().mkpath(path)) {
        *error = QStringLiteral("HALVEX_DATA_DIR: cannot create the directory %1").arg(path);
        return false;
    }
    // Permission bits do not tell the whole story (read-only mounts, root), so try a real file.
    QTemporaryFile probe(path + QStringLiteral("/.write-check-XXXXXX"));
    if (!probe.open()) {
        *error = QStringLiteral("HALVEX_DATA_DIR: cannot write to the directory %1: %2").arg(path, probe.errorString());
        return false;
    }
    return true;
}
