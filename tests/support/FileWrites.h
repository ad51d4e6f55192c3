// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/inotify.h>
#include <unistd.h>

// Counts the writes of one file from the moment of construction, as the kernel reports them: a
// write in place, or a replacement by rename as an atomic write makes it. The file's directory
// must exist.
class FileWrites
{
public:
    explicit FileWrites(const QString &path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
        , m_watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(m_watch, QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    ~FileWrites() { close(m_watch); }
    Q_DISABLE_COPY_MOVE(FileWrites)

    int count()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t length;
        while ((length = read(m_watch, buffer, sizeof buffer)) > 0) {
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
                if (event->len > 0 && m_name == event->name)
                    ++m_count;
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return m_count;
    }

private:
    QByteArray m_name;
    int m_watch;
    int m_count = 0;
};
