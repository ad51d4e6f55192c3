// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTimeZone>

#include <optional>

class QProcessEnvironment;

// The settings the server receives through its environment, checked before anything starts.
class ServerConfig
{
public:
    // Nothing, with one line for the user in error, when a variable is missing or unusable. Creates the data
    // directory when it does not exist yet.
    static std::optional<ServerConfig> fromEnvironment(const QProcessEnvironment &environment, QString *error);

    const QByteArray &authToken() const { return m_authToken; }
    const QString &dataDirectory() const { return m_dataDirectory; }
    quint16 port() const { return m_port; }
    const QTimeZone &timeZone() const { return m_timeZone; }

private:
    ServerConfig() = default;

    static std::optional<quint16> parsePort(const QString &text);
    static bool prepareDataDirectory(const QString &path, QString *error);

    QByteArray m_authToken;
    QString m_dataDirectory;
    quint16 m_port = 0;
    QTimeZone m_timeZone;
};
