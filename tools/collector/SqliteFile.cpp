#include "tools/collector/SqliteFile.h"

#include <sqlite3.h>
#include <string>
#include <utility>

namespace collector {

namespace {

tl::unexpected<Error> SqliteError(sqlite3* db, int rc) {
    return Fail(QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

} // namespace

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

void SqliteStatement::Bind(int i, int64_t value) {
    sqlite3_bind_int64(stmt_, i, value);
}

void SqliteStatement::Bind(int i, const QByteArray& bytes, bool blob) {
    if (blob)
        sqlite3_bind_blob64(stmt_, i, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                            SQLITE_TRANSIENT);
    else
        sqlite3_bind_text64(stmt_, i, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                            SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqliteStatement::BindNull(int i) {
    sqlite3_bind_null(stmt_, i);
}

Result<bool> SqliteStatement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    auto failed = SqliteError(db_, rc);
    sqlite3_reset(stmt_);
    return failed;
}

Result<void> SqliteStatement::Run() {
    Result<bool> r = Step();
    sqlite3_reset(stmt_);
    if (!r)
        return tl::unexpected(r.error());
    return {};
}

void SqliteStatement::Reset() {
    sqlite3_reset(stmt_);
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QByteArray SqliteStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QByteArray(text, sqlite3_column_bytes(stmt_, column));
}

std::span<const uint8_t> SqliteStatement::Blob(int column) const {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    return {data, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

SqliteFile::SqliteFile(SqliteFile&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

SqliteFile& SqliteFile::operator=(SqliteFile&& other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

SqliteFile::~SqliteFile() {
    sqlite3_close_v2(db_);
}

Result<SqliteFile> SqliteFile::Open(const QString& path) {
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteFile file(db);
    if (rc != SQLITE_OK)
        return Fail(path,
                    Error{QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)), {}});
    // The writer and the reader are two connections of one process: a moment's wait for the
    // other's lock is normal, not a failure.
    sqlite3_busy_timeout(db, 10000);
    return file;
}

Result<void> SqliteFile::Exec(std::string_view sql) {
    const std::string text(sql);
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return {};
    const QString why = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return Fail(why);
}

Result<SqliteStatement> SqliteFile::Prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK)
        return SqliteError(db_, rc);
    return SqliteStatement(db_, stmt);
}

} // namespace collector
