#pragma once
// A thin layer over SQLite's C API: a connection and prepared statements that close themselves,
// and failures that keep SQLite's result code, so that the archive can tell a full disk from a
// damaged file. A floor of its own, below the archive, so that every program may share it. Each
// call that can fail is a Try...() that gives a Result, the result code as its error's `code`.
#include <QString>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "base/Result.h"

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    // Parameters count from 1, as in SQL.
    void BindNull(int i);
    void Bind(int i, int64_t value);
    void Bind(int i, double value);
    // Copied, so the caller's text or bytes may go at once.
    void Bind(int i, std::string_view utf8);
    void Bind(int i, const QString& text);
    void BindBlob(int i, std::span<const uint8_t> bytes);
    // Binds the values to parameters 1, 2, ... in order.
    template <class... T> void BindAll(const T&... values) {
        int i = 0;
        (Bind(++i, values), ...);
    }
    // Not copied: the text must stay as it is until the statement was stepped and reset.
    void BindKept(int i, std::string_view utf8);
    // True while a row is there to read; false when done.
    Result<bool> TryStep();
    // Steps through the rows, calling onRow on each (it may return Result<void>); the first
    // failure, of a step or of onRow, ends it.
    template <class OnRow> Result<void> TryEachRow(OnRow&& onRow) {
        for (;;) {
            const Result<bool> row = TryStep();
            if (!row)
                return tl::unexpected(row.error());
            if (!*row)
                return {};
            if constexpr (std::is_void_v<std::invoke_result_t<OnRow&>>)
                onRow();
            else if (Result<void> done = onRow(); !done)
                return done;
        }
    }
    // Runs a statement that returns no rows, then makes it ready to run again.
    Result<void> TryRun();
    // Ready to run again; the bindings stay.
    void Reset();

    int ColumnCount() const;
    bool IsNull(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int Type(int column) const;
    int64_t Int(int column) const;
    double Real(int column) const;
    QString Text(int column) const;
    std::string_view TextView(int column) const;
    std::span<const uint8_t> Blob(int column) const;

private:
    friend class SqliteDb;
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class SqliteDb {
public:
    SqliteDb() = default;
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    ~SqliteDb();

    // Opens (creating when `create`) the database file; fails naming the file and the reason.
    Result<void> TryOpen(const QString& path, bool create);
    // Opens the file for reading only: nothing in it is changed, not even its journal mode, and
    // closing it copies no WAL back.
    Result<void> TryOpenReadOnly(const QString& path);
    // Closing leaves the WAL as it is: neither copied back nor removed by its name, which may
    // by then be another file's.
    void KeepWalOnClose();
    void Close();
    bool IsOpen() const { return db_ != nullptr; }

    Result<void> TryExec(std::string_view sql);
    Result<SqliteStatement> TryPrepare(std::string_view sql) const;
    int64_t LastInsertId() const;
    // Waits for another connection's lock this long before failing with "database is locked".
    void SetBusyTimeout(int ms);
    sqlite3* Handle() const { return db_; }

private:
    Result<void> OpenWith(const QString& path, int mode);

    sqlite3* db_ = nullptr;
};

// The failure of the last call on `db` that returned `rc`, with SQLite's text (and the system's
// reason where the system refused something) and the result code as its `code`.
Error SqliteError(sqlite3* db, int rc);
// The primary result code of such an error (SQLITE_FULL, SQLITE_CORRUPT, ...).
int SqliteCode(const Error& e);
// The file is not a database or is damaged beyond use.
bool SqliteDamaged(const Error& e);
