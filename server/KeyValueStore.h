// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Keys and values as raw bytes in one SQLite database. Write-ahead logging with full syncs, so that a stored
// value survives a restart and a crash of the server.
class KeyValueStore
{
public:
    enum class Result { Found, NotFound, Created, Replaced, Removed, Failed };

    KeyValueStore() = default;
    ~KeyValueStore();
    KeyValueStore(const KeyValueStore &) = delete;
    KeyValueStore &operator=(const KeyValueStore &) = delete;

    bool open(const QString &path, QString *error);
    void close();

    Result value(const QByteArray &key, QByteArray *value);
    Result put(const QByteArray &key, const QByteArray &value);
    Result remove(const QByteArray &key);

    // The database's own words for the last failure.
    QString lastError() const;

private:
    bool execute(const char *sql);
    sqlite3_stmt *prepare(const char *sql);
    // Runs a prepared write of key (and value) and tells how many rows it changed, or -1.
    int write(const char *sql, const QByteArray &key, const QByteArray *value);

    sqlite3 *m_db = nullptr;
};
