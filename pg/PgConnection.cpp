#include "pg/PgConnection.h"

#include <libpq-fe.h>

#include <QStringList>

namespace pg {

namespace {

// libpq's messages run over several lines ("connection to server ... failed: ...\n\tIs the
// server running ...?"); the log and --check want one.
QString OneLine(const char* message) {
    QStringList parts;
    for (const QString& line : QString::fromUtf8(message).split('\n', Qt::SkipEmptyParts))
        parts << line.trimmed();
    return parts.join(QLatin1Char(' '));
}

} // namespace

PgResult::PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
    if (this != &other) {
        PQclear(result_);
        result_ = std::exchange(other.result_, nullptr);
    }
    return *this;
}

PgResult::~PgResult() {
    PQclear(result_);
}

int PgResult::Rows() const {
    return result_ ? PQntuples(result_) : 0;
}

bool PgResult::IsNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

QByteArray PgResult::Bytes(int row, int column) const {
    return QByteArray(PQgetvalue(result_, row, column), PQgetlength(result_, row, column));
}

int64_t PgResult::Affected() const {
    return QByteArray(PQcmdTuples(result_)).toLongLong();
}

PgConnection::PgConnection(PgConnection&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)) {}

PgConnection& PgConnection::operator=(PgConnection&& other) noexcept {
    if (this != &other) {
        PQfinish(conn_);
        conn_ = std::exchange(other.conn_, nullptr);
    }
    return *this;
}

PgConnection::~PgConnection() {
    PQfinish(conn_);
}

Result<PgConnection> PgConnection::Connect(const QString& conninfo) {
    const QByteArray info = conninfo.toUtf8();
    // The connection string comes last and is expanded in place, so its settings win.
    const char* keywords[] = {"connect_timeout",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "fallback_application_name",
                              "dbname",
                              nullptr};
    const char* values[] = {"10", "20", "5", "4", "impix-collector", info.constData(), nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn)
        return Fail(QStringLiteral("out of memory"));
    PgConnection c(conn);
    if (PQstatus(conn) != CONNECTION_OK)
        return tl::unexpected(c.ConnectionError());
    // Nothing the collector reads or writes depends on the server's zone, but the log should
    // not be littered with NOTICEs.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return c;
}

Error PgConnection::ConnectionError() const {
    return Error{OneLine(conn_ ? PQerrorMessage(conn_) : "no connection"), {}};
}

Result<PgResult> PgConnection::Checked(PGresult* raw) {
    PgResult result(raw);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN)
        return result;
    if (!raw)
        return tl::unexpected(ConnectionError());
    const char* primary = PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY);
    const char* state = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
    return Fail(primary ? OneLine(primary) : OneLine(PQresultErrorMessage(raw)),
                state ? QString::fromLatin1(state) : QString());
}

Result<PgResult> PgConnection::Exec(const QByteArray& sql) {
    return Checked(PQexec(conn_, sql.constData()));
}

Result<PgResult> PgConnection::Exec(const QByteArray& sql, const std::vector<QByteArray>& params,
                                    bool binaryResult) {
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const QByteArray& p : params)
        values.push_back(p.isNull() ? nullptr : p.constData());
    return Checked(PQexecParams(conn_, sql.constData(), static_cast<int>(params.size()), nullptr,
                                values.data(), nullptr, nullptr, binaryResult ? 1 : 0));
}

Result<void> PgConnection::CopyBegin(const QByteArray& sql) {
    Result<PgResult> r = Exec(sql);
    if (!r)
        return tl::unexpected(r.error());
    return {};
}

Result<void> PgConnection::CopyPut(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    if (PQputCopyData(conn_, data.constData(), static_cast<int>(data.size())) != 1)
        return tl::unexpected(ConnectionError());
    return {};
}

Result<int64_t> PgConnection::CopyEnd(const QByteArray& abandonedBecause) {
    if (PQputCopyEnd(conn_, abandonedBecause.isEmpty() ? nullptr : abandonedBecause.constData()) !=
        1)
        return tl::unexpected(ConnectionError());
    // The first result tells; the rest (there should be none) are read so that the connection is
    // ready for the next command.
    Result<PgResult> first = Checked(PQgetResult(conn_));
    while (PGresult* more = PQgetResult(conn_))
        PQclear(more);
    if (!first)
        return tl::unexpected(first.error());
    return first->Affected();
}

bool PgConnection::Broken() const {
    return !conn_ || PQstatus(conn_) != CONNECTION_OK;
}

QString PgConnection::ServerVersion() const {
    const int v = ServerVersionNumber();
    return QString("%1.%2").arg(v / 10000).arg(v % 10000);
}

int PgConnection::ServerVersionNumber() const {
    return conn_ ? PQserverVersion(conn_) : 0;
}

std::vector<PgConnection::Notification> PgConnection::TakeNotifications() {
    std::vector<Notification> out;
    PQconsumeInput(conn_);
    while (PGnotify* n = PQnotifies(conn_)) {
        out.push_back({QString::fromUtf8(n->relname), QString::fromUtf8(n->extra)});
        PQfreemem(n);
    }
    return out;
}

} // namespace pg
