// SPDX-License-Identifier: MIT
#include "RegistryReading.h"

#include <QThread>

#include <system_error>

RegistryReading::RegistryReading(QString path)
    : m_path(std::move(path))
{}

RegistryReading RegistryReading::ahead(QString path)
{
    // Qt takes the first thread that makes an object for its main thread, the one the application
    // must be made on; the reading makes one, its file. This thread claims the part first.
    QThread::currentThread();
    RegistryReading reading(std::move(path));
    try {
        reading.m_ahead = std::async(std::launch::async, &RegistryReading::read, reading.m_path);
    } catch (const std::system_error &) {
        // No thread to be had: read when asked.
    }
    return reading;
}

std::optional<RegistryContents> RegistryReading::take()
{
    return m_ahead.valid() ? m_ahead.get() : read(m_path);
}

std::optional<RegistryContents> RegistryReading::read(const QString &path)
{
    std::optional<FileContents> file = FileContents::open(path);
    if (!file)
        return std::nullopt;
    auto decoded = RegistryEncoder::decode(file->bytes());
    return RegistryContents{std::move(*file), std::move(decoded)};
}
