#pragma once
// libpq's connection and result as owners that free themselves, and the few calls the fleet
// view makes with them. The console only reads the collector's database.
#include <memory>

#include <QByteArray>
#include <QString>

struct pg_conn;
struct pg_result;

namespace fleet {

struct PgConnCloser {
    void operator()(pg_conn* conn) const;
};
struct PgResultClearer {
    void operator()(pg_result* result) const;
};
using PgConn = std::unique_ptr<pg_conn, PgConnCloser>;
using PgResultPtr = std::unique_ptr<pg_result, PgResultClearer>;

// The rows of one statement as text, or the database's message in `error`.
struct PgRows {
    PgResultPtr result;
    QString error;

    bool Ok() const { return error.isEmpty(); }
    int Rows() const;
    bool IsNull(int row, int column) const;
    QString Text(int row, int column) const;
    qint64 Int(int row, int column) const;
};

PgRows Query(pg_conn* conn, const QByteArray& sql);
// A result of `conn` (taken over; null when the connection failed) as rows or its message.
PgRows Checked(pg_conn* conn, pg_result* result);
// The connection's last message in one line.
QString ConnError(pg_conn* conn);
// The connection string as it may be kept on disk: every password= setting taken out (a
// password belongs in ~/.pgpass), URIs as well as key=value strings.
QString WithoutPassword(const QString& conninfo);

} // namespace fleet
