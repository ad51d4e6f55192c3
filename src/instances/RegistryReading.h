// SPDX-License-Identifier: MIT
#pragma once

#include "core/FileContents.h"
#include "instances/RegistryEncoder.h"

#include <QList>
#include <QString>

#include <future>
#include <optional>

// The registry file as read: its contents, and its records (and where their text lies) where the
// text is exactly as RegistryEncoder writes it.
struct RegistryContents
{
    FileContents file;
    // Nothing for any other text, which a JSON parser reads.
    std::optional<RegistryText::Decoded> decoded;
};

// Reads the registry file when the manager asks, or ahead of that on a thread of its own. A start
// spends its first milliseconds reaching the window system, on one core; thousands of records
// take about as long to read, and are ready on another core by the time the manager needs them.
class RegistryReading
{
public:
    // Reads when asked, on the thread that asks.
    explicit RegistryReading(QString path);
    // Starts reading now, on a thread of its own. Called on the main thread, before the
    // application object is made.
    static RegistryReading ahead(QString path);

    const QString &path() const { return m_path; }
    // Waits for a reading started ahead. Nothing when the file is missing or unreadable.
    std::optional<RegistryContents> take();

private:
    static std::optional<RegistryContents> read(const QString &path);

    QString m_path;
    std::future<std::optional<RegistryContents>> m_ahead;
};
