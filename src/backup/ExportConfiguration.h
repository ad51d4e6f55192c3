// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The content of an export file: every instance of the registry and the two portable settings.
struct ExportConfiguration
{
    // The version of the file format, written into every export. It changes when the format does,
    // not with the application's version.
    static QString currentVersion() { return QStringLiteral("1.2"); }

    QString version;
    double exportedAt = 0; // seconds since 2001-01-01 00:00:00 UTC
    QUrl dataStorageLocation;
    QString timezone;
    QList<HalvexInstance> instances;

    QByteArray encode() const;
    // Strict: every key present with its type, dates in the internet date-time form, a storage
    // location on this machine, instance names and ports that the instance form would accept. On
    // failure, error holds a sentence naming the key (and the instance) at fault.
    static std::optional<ExportConfiguration> decode(const QByteArray &bytes, QString *error = nullptr);
};
