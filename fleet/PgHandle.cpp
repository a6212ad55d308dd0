#include "fleet/PgHandle.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <libpq-fe.h>

namespace fleet {

void PgConnCloser::operator()(pg_conn* conn) const {
    PQfinish(conn);
}

void PgResultClearer::operator()(pg_result* result) const {
    PQclear(result);
}

int PgRows::Rows() const {
    return result ? PQntuples(result.get()) : 0;
}

bool PgRows::IsNull(int row, int column) const {
    return !result || PQgetisnull(result.get(), row, column);
}

QString PgRows::Text(int row, int column) const {
    return result ? QString::fromUtf8(PQgetvalue(result.get(), row, column)) : QString();
}

qint64 PgRows::Int(int row, int column) const {
    return result ? QByteArray(PQgetvalue(result.get(), row, column)).toLongLong() : 0;
}

QString ConnError(pg_conn* conn) {
    return QString::fromUtf8(PQerrorMessage(conn)).simplified();
}

PgRows Checked(pg_conn* conn, pg_result* result) {
    PgRows rows;
    rows.result.reset(result);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        rows.error =
            result ? QString::fromUtf8(PQresultErrorMessage(result)).simplified() : ConnError(conn);
        if (rows.error.isEmpty())
            rows.error = ConnError(conn);
    }
    return rows;
}

PgRows Query(pg_conn* conn, const QByteArray& sql) {
    return Checked(conn, PQexec(conn, sql.constData()));
}

QString WithoutPassword(const QString& conninfo) {
    const QString trimmed = conninfo.trimmed();
    if (trimmed.startsWith("postgresql://") || trimmed.startsWith("postgres://")) {
        QUrl url(trimmed);
        url.setPassword({});
        QUrlQuery query(url);
        query.removeAllQueryItems("password");
        url.setQuery(query);
        return url.toString();
    }
    // key = value pairs; a value may be quoted with '' and hold \' and \\.
    static const QRegularExpression password(R"((^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'?|\S*))");
    return QString(trimmed).remove(password).simplified();
}

} // namespace fleet
