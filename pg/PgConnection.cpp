#include "pg/PgConnection.h"

#include <libpq-fe.h>

#include <QStringList>

namespace pg {

namespace {

// libpq's messages run over several lines ("connection to server ... failed: ...\n\tIs the
// server running ...?"); the log, --check and the window want one.
QString OneLine(const char* message, Wording wording) {
    if (wording == Wording::Whole)
        return QString::fromUtf8(message).simplified();
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

bool PgResult::CopyingOut() const {
    return PQresultStatus(result_) == PGRES_COPY_OUT;
}

CopyRow::~CopyRow() {
    PQfreemem(data_);
}

PgConnection::PgConnection(PgConnection&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)), wording_(other.wording_) {}

PgConnection& PgConnection::operator=(PgConnection&& other) noexcept {
    if (this != &other) {
        PQfinish(conn_);
        conn_ = std::exchange(other.conn_, nullptr);
        wording_ = other.wording_;
    }
    return *this;
}

PgConnection::~PgConnection() {
    PQfinish(conn_);
}

Result<PgConnection> PgConnection::Made(PGconn* conn, Wording wording) {
    if (!conn)
        return Fail(QStringLiteral("out of memory"));
    PgConnection c(conn, wording);
    if (PQstatus(conn) == CONNECTION_BAD)
        return tl::unexpected(c.ConnectionError());
    // Nothing read or written depends on the server's zone, but a log should not be littered
    // with NOTICEs.
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return c;
}

Result<PgConnection> PgConnection::Connect(const QString& conninfo, const Defaults& defaults,
                                           Wording wording) {
    const QByteArray info = conninfo.toUtf8();
    if (defaults.empty())
        return Made(PQconnectdb(info.constData()), wording);
    // The connection string comes last and is expanded in place, so its settings win.
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : defaults) {
        keywords.push_back(keyword.constData());
        values.push_back(value.constData());
    }
    keywords.push_back("dbname");
    values.push_back(info.constData());
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    return Made(PQconnectdbParams(keywords.data(), values.data(), 1), wording);
}

Result<PgConnection> PgConnection::StartConnect(const QString& conninfo, Wording wording) {
    return Made(PQconnectStart(conninfo.toUtf8().constData()), wording);
}

Result<PgConnection::Step> PgConnection::ContinueConnect() {
    switch (PQconnectPoll(conn_)) {
    case PGRES_POLLING_READING:
        return Step::Read;
    case PGRES_POLLING_WRITING:
        return Step::Write;
    case PGRES_POLLING_OK:
        return Step::Done;
    default:
        return tl::unexpected(ConnectionError());
    }
}

Result<int> PgConnection::Socket() const {
    const int socket = PQsocket(conn_);
    if (socket < 0)
        return tl::unexpected(ConnectionError());
    return socket;
}

Error PgConnection::ConnectionError() const {
    Error e;
    e.text = OneLine(conn_ ? PQerrorMessage(conn_) : "no connection", wording_);
    return e;
}

Result<PgResult> PgConnection::Checked(PGresult* raw) {
    PgResult result(raw);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN ||
        status == PGRES_COPY_OUT)
        return result;
    if (!raw)
        return tl::unexpected(ConnectionError());
    const char* state = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
    const QString code = state ? QString::fromLatin1(state) : QString();
    if (wording_ == Wording::Whole) {
        const QString whole = OneLine(PQresultErrorMessage(raw), wording_);
        return Fail(whole.isEmpty() ? ConnectionError().text : whole, code);
    }
    const char* primary = PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY);
    return Fail(OneLine(primary ? primary : PQresultErrorMessage(raw), wording_), code);
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

Result<void> PgConnection::Send(const QByteArray& sql) {
    if (!PQsendQuery(conn_, sql.constData()))
        return tl::unexpected(ConnectionError());
    return {};
}

Result<std::vector<PgConnection::Notification>> PgConnection::TakeNotifications() {
    if (!PQconsumeInput(conn_))
        return tl::unexpected(ConnectionError());
    std::vector<Notification> out;
    while (PGnotify* n = PQnotifies(conn_)) {
        out.push_back({QString::fromUtf8(n->relname), QString::fromUtf8(n->extra)});
        PQfreemem(n);
    }
    return out;
}

bool PgConnection::Busy() const {
    return PQisBusy(conn_) != 0;
}

std::optional<Result<PgResult>> PgConnection::NextResult() {
    PGresult* result = PQgetResult(conn_);
    if (!result)
        return std::nullopt;
    return Checked(result);
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

Result<void> PgConnection::CopyOutBegin(const QByteArray& sql) {
    if (Result<void> sent = Send(sql); !sent)
        return sent;
    Result<PgResult> started = Checked(PQgetResult(conn_));
    if (!started)
        return tl::unexpected(started.error());
    if (!started->CopyingOut())
        return Fail(QStringLiteral("the statement sends no rows to copy"));
    return {};
}

std::optional<CopyRow> PgConnection::CopyOutNext() {
    char* row = nullptr;
    const int size = PQgetCopyData(conn_, &row, 0);
    if (size < 0)
        return std::nullopt;
    return CopyRow(row, size);
}

Result<void> PgConnection::CopyOutEnd() {
    // Every result is read, so that the connection is ready for the next command; the first
    // failure tells.
    Result<void> ended;
    while (PGresult* raw = PQgetResult(conn_))
        if (Result<PgResult> r = Checked(raw); !r && ended)
            ended = tl::unexpected(r.error());
    return ended;
}

void PgConnection::Cancel() {
    if (PGcancel* c = PQgetCancel(conn_)) {
        char message[256];
        PQcancel(c, message, sizeof message);
        PQfreeCancel(c);
    }
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

} // namespace pg
