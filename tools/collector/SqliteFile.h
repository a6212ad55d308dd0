#pragma once
// The few SQLite calls the spool makes, with results instead of exceptions: a connection and
// prepared statements that close themselves.
#include <cstdint>
#include <span>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "base/Result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace collector {

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    // Parameters count from 1; the bound bytes are copied.
    void Bind(int i, int64_t value);
    void Bind(int i, const QByteArray& bytes, bool blob = false);
    void BindNull(int i);
    // True while a row is there to read, false when done.
    Result<bool> Step();
    // Runs a statement that returns no rows, then makes it ready to run again.
    Result<void> Run();
    void Reset();

    bool IsNull(int column) const;
    int64_t Int(int column) const;
    QByteArray Text(int column) const;
    // Valid until the next Step or Reset.
    std::span<const uint8_t> Blob(int column) const;

private:
    friend class SqliteFile;
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class SqliteFile {
public:
    SqliteFile() = default;
    SqliteFile(SqliteFile&& other) noexcept;
    SqliteFile& operator=(SqliteFile&& other) noexcept;
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;
    ~SqliteFile();

    // Opens the file, created when missing.
    static Result<SqliteFile> Open(const QString& path);
    Result<void> Exec(std::string_view sql);
    Result<SqliteStatement> Prepare(std::string_view sql);

private:
    explicit SqliteFile(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
};

} // namespace collector
