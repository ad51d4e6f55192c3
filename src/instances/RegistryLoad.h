// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"
#include "instances/RegistryEncoder.h"

#include <QList>
#include <QString>

#include <future>
#include <optional>

// What the registry file holds: its records, with the encoder that knows their text; no records
// when there is no file, or none that can be used, and then why not.
struct RegistryContent
{
    std::optional<QList<HalvexInstance>> records;
    RegistryEncoder encoder;
    QString undecodable; // empty when the file could be used, or there was none
};

// Reading and decoding the registry file. With thousands of records that takes longer than bringing
// up the rest of the application, so it is begun on a thread of its own as soon as the file's path
// is known, and taken once the records are needed.
class RegistryLoad
{
public:
    // Begins the load at once, on a thread of its own.
    explicit RegistryLoad(QString file);

    const QString &file() const { return m_file; }
    // Waits for the load to end. Once only.
    RegistryContent take();

    // The whole load on the calling thread, temporaries left by an interrupted write removed
    // first. Records put in by hand that would reach a path, a host name or a launch unchecked
    // make the whole file unusable.
    static RegistryContent read(const QString &file);

private:
    QString m_file;
    std::future<RegistryContent> m_content;
};
