// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

namespace TestSupport {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !permissions || file.setPermissions(permissions);
}

QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

QStringList logMessages(QStringList log)
{
    for (QString &entry : log)
        entry = entry.mid(entry.indexOf(QStringLiteral("] ")) + 2);
    return log;
}

QString serverPath()
{
    return QStringLiteral(HALVEX_SERVER_PATH);
}

QString program(const char *name)
{
    return QStringLiteral(TEST_PROGRAMS_DIR "/") + QLatin1StringView(name);
}

void useHomeIn(const QTemporaryDir &directory)
{
    qputenv("HOME", QFile::encodeName(directory.path()));
    for (const auto &[variable, folder] : {std::pair{"XDG_DATA_HOME", "data"},
                                           {"XDG_CONFIG_HOME", "config"},
                                           {"XDG_CACHE_HOME", "cache"},
                                           {"XDG_RUNTIME_DIR", "runtime"}}) {
        const QString path = directory.filePath(QLatin1StringView(folder));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(variable, QFile::encodeName(path));
    }
}

} // namespace TestSupport
