// SPDX-License-Identifier: MIT
#include "KeyValueStore.h"

#include <QFile>

#include <memory>
#include <sqlite3.h>

namespace {
struct StatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The bound bytes outlive every step of the statement, so SQLite need not copy them (a null destructor).
bool bindBytes(sqlite3_stmt *statement, int index, const QByteArray &bytes)
{
    return sqlite3_bind_blob64(statement, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                               nullptr) == SQLITE_OK;
}
} // namespace

KeyValueStore::~KeyValueStore()
{
    close();
}

bool KeyValueStore::open(const QString &path, QString *error)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) == SQLITE_OK &&
                    sqlite3_busy_timeout(m_db, 2000) == SQLITE_OK && execute("PRAGMA journal_mode=WAL") &&
                    execute("PRAGMA synchronous=FULL") &&
                    execute("CREATE TABLE IF NOT EXISTS entries (key BLOB PRIMARY KEY NOT NULL, value BLOB NOT NULL)"
                            " WITHOUT ROWID");
    if (!ok) {
        *error = QStringLiteral("cannot open the database %1: %2").arg(path, lastError());
        close();
    }
    return ok;
}

void KeyValueStore::close()
{
    const std::lock_guard lock(m_mutex);
    // A clean close checkpoints the write-ahead log into the database file.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

KeyValueStore::Result KeyValueStore::value(const QByteArray &key, QByteArray *value, QString *error)
{
    const std::lock_guard lock(m_mutex);
    const Statement statement(prepare("SELECT value FROM entries WHERE key = ?1"));
    if (!statement || !bindBytes(statement.get(), 1, key))
        return fail(error);
    switch (sqlite3_step(statement.get())) {
    case SQLITE_ROW:
        *value = QByteArray(static_cast<const char *>(sqlite3_column_blob(statement.get(), 0)),
                            sqlite3_column_bytes(statement.get(), 0));
        return Result::Found;
    case SQLITE_DONE:
        return Result::NotFound;
    default:
        return fail(error);
    }
}

KeyValueStore::Result KeyValueStore::put(const QByteArray &key, const QByteArray &value, QString *error)
{
    const std::lock_guard lock(m_mutex);
    // Two single-statement writes instead of an upsert, so that the caller learns whether the key is new.
    const int inserted = write("INSERT OR IGNORE INTO entries (key, value) VALUES (?1, ?2)", key, &value);
    if (inserted < 0)
        return fail(error);
    if (inserted > 0)
        return Result::Created;
    return write("UPDATE entries SET value = ?2 WHERE key = ?1", key, &value) < 0 ? fail(error) : Result::Replaced;
}

KeyValueStore::Result KeyValueStore::remove(const QByteArray &key, QString *error)
{
    const std::lock_guard lock(m_mutex);
    const int removed = write("DELETE FROM entries WHERE key = ?1", key, nullptr);
    if (removed < 0)
        return fail(error);
    return removed > 0 ? Result::Removed : Result::NotFound;
}

QString KeyValueStore::lastError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("the database is not open");
}

KeyValueStore::Result KeyValueStore::fail(QString *error) const
{
    *error = lastError();
    return Result::Failed;
}

bool KeyValueStore::execute(const char *sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt *KeyValueStore::prepare(const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (!m_db || sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        return nullptr;
    return statement;
}

int KeyValueStore::write(const char *sql, const QByteArray &key, const QByteArray *value)
{
    const Statement statement(prepare(sql));
    if (!statement || !bindBytes(statement.get(), 1, key) || (value && !bindBytes(statement.get(), 2, *value)))
        return -1;
    if (sqlite3_step(statement.get()) != SQLITE_DONE)
        return -1;
    return sqlite3_changes(m_db);
}
