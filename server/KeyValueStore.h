// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

struct sqlite3;
struct sqlite3_stmt;

// Keys and values as raw bytes in one SQLite database. Write-ahead logging with full syncs, so that a stored
// value survives a restart and a crash of the server. The requests arrive on several threads and share the one
// connection, so every call holds a lock for its whole run, and a failure's words come back with the call.
class KeyValueStore
{
public:
    enum class Result { Found, NotFound, Created, Replaced, Removed, Failed };

    KeyValueStore() = default;
    ~KeyValueStore();
    KeyValueStore(const KeyValueStore &) = delete;
    KeyValueStore &operator=(const KeyValueStore &) = delete;

    bool open(const QString &path, QString *error);
    // Waits for a call under way; calls after it fail.
    void close();

    Result value(const QByteArray &key, QByteArray *value, QString *error);
    Result put(const QByteArray &key, const QByteArray &value, QString *error);
    Result remove(const QByteArray &key, QString *error);

private:
    QString lastError() const;
    bool execute(const char *sql);
    sqlite3_stmt *prepare(const char *sql);
    // Runs a prepared write of key (and value) and tells how many rows it changed, or -1.
    int write(const char *sql, const QByteArray &key, const QByteArray *value);
    Result fail(QString *error) const;

    std::mutex m_mutex;
    sqlite3 *m_db = nullptr;
};
