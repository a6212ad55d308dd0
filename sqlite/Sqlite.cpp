#include "sqlite/Sqlite.h"

#include <QFile>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <utility>

namespace {
// SQLite's text and, when the system refused something, the system's reason ("unable to open
// database file: Read-only file system").
QString WithSystemError(sqlite3* db, const char* text) {
    QString out = QString::fromUtf8(text);
    const int error = db ? sqlite3_system_errno(db) : 0;
    if (error != 0)
        out += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return out;
}
} // namespace

Error SqliteError(sqlite3* db, int rc) {
    // The connection's message names the cause better than the code's own text, when it belongs
    // to this failure.
    const bool own = db && (sqlite3_errcode(db) & 0xFF) == (rc & 0xFF);
    return Error{WithSystemError(db, own ? sqlite3_errmsg(db) : sqlite3_errstr(rc)),
                 QString::number(rc)};
}

int SqliteCode(const Error& e) {
    return e.code.toInt() & 0xFF;
}

bool SqliteDamaged(const Error& e) {
    return SqliteCode(e) == SQLITE_CORRUPT || SqliteCode(e) == SQLITE_NOTADB;
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

void SqliteStatement::BindNull(int i) {
    sqlite3_bind_null(stmt_, i);
}

void SqliteStatement::Bind(int i, int64_t value) {
    sqlite3_bind_int64(stmt_, i, value);
}

void SqliteStatement::Bind(int i, double value) {
    sqlite3_bind_double(stmt_, i, value);
}

void SqliteStatement::Bind(int i, std::string_view utf8) {
    sqlite3_bind_text(stmt_, i, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::Bind(int i, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    Bind(i, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void SqliteStatement::BindKept(int i, std::string_view utf8) {
    sqlite3_bind_text(stmt_, i, utf8.data(), static_cast<int>(utf8.size()), SQLITE_STATIC);
}

void SqliteStatement::BindBlob(int i, std::span<const uint8_t> bytes) {
    sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

Result<bool> SqliteStatement::TryStep() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    return tl::unexpected(SqliteError(db_, rc));
}

Result<void> SqliteStatement::TryRun() {
    Result<bool> r = TryStep();
    sqlite3_reset(stmt_);
    if (!r)
        return tl::unexpected(r.error());
    return {};
}

void SqliteStatement::Reset() {
    sqlite3_reset(stmt_);
}

int SqliteStatement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int SqliteStatement::Type(int column) const {
    return sqlite3_column_type(stmt_, column);
}

int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double SqliteStatement::Real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

QString SqliteStatement::Text(int column) const {
    const std::string_view v = TextView(column);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

std::string_view SqliteStatement::TextView(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
             : std::string_view();
}

std::span<const uint8_t> SqliteStatement::Blob(int column) const {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    return p ? std::span<const uint8_t>(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
             : std::span<const uint8_t>();
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

SqliteDb::~SqliteDb() {
    Close();
}

Result<void> SqliteDb::TryOpen(const QString& path, bool create) {
    return OpenWith(path, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
}

Result<void> SqliteDb::TryOpenReadOnly(const QString& path) {
    return OpenWith(path, SQLITE_OPEN_READONLY);
}

void SqliteDb::KeepWalOnClose() {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

Result<void> SqliteDb::OpenWith(const QString& path, int mode) {
    Close();
    const QByteArray name = QFile::encodeName(path);
    const int flags = mode | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = WithSystemError(db, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return tl::unexpected(Error{text, QString::number(rc)});
    }
    db_ = db;
    return {};
}

void SqliteDb::Close() {
    // Statements are finalised by their owners first; v2 defers the close until they are.
    sqlite3_close_v2(std::exchange(db_, nullptr));
}

Result<void> SqliteDb::TryExec(std::string_view sql) {
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return tl::unexpected(SqliteError(db_, rc));
    return {};
}

Result<SqliteStatement> SqliteDb::TryPrepare(std::string_view sql) const {
    sqlite3* db = db_;
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return tl::unexpected(SqliteError(db, rc));
    return SqliteStatement(db, stmt);
}

int64_t SqliteDb::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

void SqliteDb::SetBusyTimeout(int ms) {
    sqlite3_busy_timeout(db_, ms);
}
