// SPDX-License-Identifier: MIT
#include "ServerOutputReader.h"

#include "ServerOutput.h"

#include <QFile>
#include <QSet>
#include <QSocketNotifier>
#include <QThread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Read output is given back to the file system in steps of this size, so a server that floods
// its output for hours does not fill the disk.
constexpr qint64 releaseStep = 1024 * 1024;

} // namespace

ServerOutputReader::ServerOutputReader(ServerOutput *output)
    : m_output(output)
    , m_partialLines(this)
{
    m_partialLines.setSingleShot(true);
    connect(&m_partialLines, &QTimer::timeout, this, &ServerOutputReader::flushWaitingLines);
}

ServerOutputReader::~ServerOutputReader()
{
    for (File &file : m_files)
        close(file);
    if (m_inotify >= 0)
        ::close(m_inotify);
}

void ServerOutputReader::start()
{
    if (m_inotify >= 0)
        return;
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ServerOutputReader::readEvents);
}

void ServerOutputReader::follow(const QUuid &id, const QString &path, bool fromEnd)
{
    start();
    if (auto existing = m_files.find(id); existing != m_files.end()) {
        close(*existing);
        m_files.erase(existing);
    }
    const QByteArray native = QFile::encodeName(path);
    File file;
    file.descriptor = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (file.descriptor < 0)
        return;
    file.watch = ::inotify_add_watch(m_inotify, native.constData(), IN_MODIFY);
    if (fromEnd) {
        file.offset = ::lseek(file.descriptor, 0, SEEK_END);
        file.released = 0;
    }
    m_watches.insert(file.watch, id);
    readAvailable(id, m_files.insert(id, std::move(file)).value());
}

void ServerOutputReader::finish(const QUuid &id)
{
    if (auto found = m_files.find(id); found != m_files.end()) {
        readAvailable(id, *found);
        // The server has ended: the start of a line will get no end any more.
        if (const auto entry = found->splitter.flush())
            deposit(id, {*entry}, 0);
        close(*found);
        m_files.erase(found);
    }
    m_output->announceFinished(id);
}

void ServerOutputReader::readEvents()
{
    alignas(inotify_event) char buffer[4096];
    QSet<QUuid> changed;
    for (;;) {
        const ssize_t length = ::read(m_inotify, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            changed.insert(m_watches.value(event->wd));
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    for (const QUuid &id : std::as_const(changed)) {
        if (auto found = m_files.find(id); found != m_files.end())
            readAvailable(id, *found);
    }
}

void ServerOutputReader::readAvailable(const QUuid &id, File &file)
{
    QStringList entries;
    qsizetype skipped = 0;
    QByteArray chunk(ServerOutput::maximumChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::pread(file.descriptor, chunk.data(), ServerOutput::maximumChunk, file.offset);
        if (length <= 0)
            break;
        file.offset += length;
        entries += file.splitter.feed(QByteArray(chunk.constData(), length));
        // A server faster than the log can show: only the newest entries are kept.
        skipped += ServerOutput::keepNewest(entries);
    }
    // The wait is for one line: text that only makes the waiting line longer does not extend it.
    if (!file.splitter.holdsText())
        file.heldSince.reset();
    else if (!entries.isEmpty() || !file.heldSince)
        file.heldSince = std::chrono::steady_clock::now();
    if (file.splitter.holdsText() && !m_partialLines.isActive())
        m_partialLines.start(ServerOutput::partialLineWait);
    if (file.offset - file.released >= releaseStep) {
        const qint64 upTo = file.offset / releaseStep * releaseStep;
        // The read part becomes a hole: the server keeps appending at the end, the disk forgets
        // the beginning. A file system without holes keeps the file whole.
        ::fallocate(file.descriptor, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, upTo);
        file.released = upTo;
    }
    if (!entries.isEmpty())
        deposit(id, std::move(entries), skipped);
}

void ServerOutputReader::flushWaitingLines()
{
    using namespace std::chrono;
    milliseconds nextWait = milliseconds::max();
    for (auto file = m_files.begin(); file != m_files.end(); ++file) {
        // The end of the line may be in the file already, written while this thread had no turn
        // (a busy machine): it is looked for before the start is logged on its own.
        if (file->heldSince && steady_clock::now() - *file->heldSince >= ServerOutput::partialLineWait)
            readAvailable(file.key(), *file);
        if (!file->heldSince)
            continue;
        const auto waited = duration_cast<milliseconds>(steady_clock::now() - *file->heldSince);
        if (waited < ServerOutput::partialLineWait) {
            nextWait = std::min(nextWait, ServerOutput::partialLineWait - waited);
            continue;
        }
        file->heldSince.reset();
        if (const auto entry = file->splitter.flush())
            deposit(file.key(), {*entry}, 0);
    }
    if (nextWait != milliseconds::max())
        m_partialLines.start(nextWait);
}

void ServerOutputReader::deposit(const QUuid &id, QStringList entries, qsizetype skipped)
{
    for (QString &entry : entries)
        entry = m_stamp.stamped(entry);
    m_output->deposit(id, std::move(entries), skipped);
}

void ServerOutputReader::close(File &file)
{
    if (file.watch >= 0)
        ::inotify_rm_watch(m_inotify, file.watch);
    m_watches.remove(file.watch);
    if (file.descriptor >= 0)
        ::close(file.descriptor);
    file.descriptor = -1;
}
