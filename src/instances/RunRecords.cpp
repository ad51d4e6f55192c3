// SPDX-License-Identifier: MIT
#include "RunRecords.h"

#include "core/JsonFields.h"
#include "core/JsonText.h"
#include "platform/ProcessInfo.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString suffix = QStringLiteral(".json");

std::optional<RunRecord> decode(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    JsonFields fields(document.object());
    RunRecord record;
    record.id = fields.uuid(QStringLiteral("id"));
    record.pid = fields.integer(QStringLiteral("pid"));
    record.startTime = static_cast<quint64>(fields.integer(QStringLiteral("startTime")));
    record.executable = fields.string(QStringLiteral("executable"));
    record.port = fields.integer(QStringLiteral("port"));
    record.outputFile = fields.string(QStringLiteral("outputFile"));
    if (!fields.ok() || record.pid <= 0)
        return std::nullopt;
    return record;
}

} // namespace

bool RunRecord::isAlive() const
{
    return ProcessInfo::startTime(pid) == startTime && ProcessInfo::executable(pid) == executable;
}

std::optional<RunRecord> RunRecord::of(const QUuid &id, qint64 pid, qint64 port, const QString &outputFile)
{
    const auto startTime = ProcessInfo::startTime(pid);
    if (!startTime)
        return std::nullopt;
    return RunRecord{id, pid, *startTime, ProcessInfo::executable(pid), port, outputFile};
}

RunRecords::RunRecords(QString directory)
    : m_directory(std::move(directory))
{}

QString RunRecords::path(const QUuid &id) const
{
    return m_directory + u'/' + id.toString(QUuid::WithoutBraces) + suffix;
}

bool RunRecords::write(const RunRecord &record, QString *error) const
{
    ::mkdir(QFile::encodeName(m_directory).constData(), 0700);
    // Written as text directly: building a QJsonObject for six fields cost as much as the write.
    QByteArray bytes;
    bytes.reserve(160 + 3 * (record.executable.size() + record.outputFile.size()));
    bytes += "{\"id\":\"" + record.id.toByteArray(QUuid::WithoutBraces) +
             "\",\"pid\":" + QByteArray::number(record.pid) + ",\"startTime\":" + QByteArray::number(record.startTime) +
             ",\"executable\":";
    JsonText::appendString(bytes, record.executable);
    bytes += ",\"port\":" + QByteArray::number(record.port) + ",\"outputFile\":";
    JsonText::appendString(bytes, record.outputFile);
    bytes += '}';
    // Written in place, without the sync and rename of an atomic replace: the record only matters
    // to a later run of the application while the server outlives it, which no power loss or
    // system crash lets it do. A write cut short by a crash leaves a file that readAll() drops.
    const int fd = ::open(QFile::encodeName(path(record.id)).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    // A record left by an earlier run keeps its mode: it is made owner-only again.
    const bool ok =
        fd >= 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
    if (!ok && error)
        *error = qt_error_string(errno);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

void RunRecords::remove(const QUuid &id) const
{
    QFile::remove(path(id));
}

QList<RunRecord> RunRecords::readAll() const
{
    QList<RunRecord> records;
    const QFileInfoList files = QDir(m_directory).entryInfoList({u'*' + suffix}, QDir::Files);
    for (const QFileInfo &file : files) {
        QFile source(file.filePath());
        const auto record = source.open(QIODevice::ReadOnly) ? decode(source.readAll()) : std::nullopt;
        if (record && file.fileName() == record->id.toString(QUuid::WithoutBraces) + suffix)
            records.append(*record);
        else
            QFile::remove(file.filePath());
    }
    return records;
}
