#include "fleet/FleetClient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <algorithm>

#include "base/EventGuard.h"

namespace fleet {

namespace {

// The channel the collector notifies after each committed report.
constexpr char ReportChannel[] = "impix_report";

const QByteArray LoggersSelect =
    "SELECT id, name, abbrev(address), (extract(epoch FROM last_report_at) * 1000)::bigint, "
    "coalesce(last_report_items, 0), measurements, late FROM logger_status";
// The newest first; a flood of strangers is not worth more rows than a person reads.
const QByteArray UnknownSql =
    "SELECT abbrev(peer), (extract(epoch FROM ended_at) * 1000)::bigint, octet_length(raw) "
    "FROM report WHERE logger IS NULL ORDER BY ended_at DESC LIMIT 10000";

std::vector<LoggerRow> LoggerRows(const pg::PgResult& rows) {
    std::vector<LoggerRow> out;
    out.reserve(size_t(rows.Rows()));
    for (int r = 0; r < rows.Rows(); ++r) {
        LoggerRow row;
        row.id = rows.Int(r, 0);
        row.name = rows.Text(r, 1);
        row.address = rows.Text(r, 2);
        if (!rows.IsNull(r, 3))
            row.lastReport = QDateTime::fromMSecsSinceEpoch(rows.Int(r, 3));
        row.lastReportItems = rows.Int(r, 4);
        row.measurements = rows.Int(r, 5);
        row.late = rows.Text(r, 6) == "t";
        out.push_back(std::move(row));
    }
    return out;
}

std::vector<UnknownReport> UnknownReports(const pg::PgResult& rows) {
    std::vector<UnknownReport> out;
    out.reserve(size_t(rows.Rows()));
    for (int r = 0; r < rows.Rows(); ++r)
        out.push_back(
            {rows.Text(r, 0), QDateTime::fromMSecsSinceEpoch(rows.Int(r, 1)), rows.Int(r, 2)});
    return out;
}

} // namespace

FleetClient::FleetClient(QString conninfo, QObject* parent)
    : QObject(parent), conninfo_(std::move(conninfo)) {
    retry_.setSingleShot(true);
    retry_.setInterval(RetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { Guarded([this] { Connect(); }); });
    connectTimeout_.setSingleShot(true);
    connectTimeout_.setInterval(ConnectTimeoutMs);
    connect(&connectTimeout_, &QTimer::timeout, this,
            [this] { Guarded([this] { Lost(QStringLiteral("the database does not answer")); }); });
    settle_.setSingleShot(true);
    settle_.setInterval(SettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] { Guarded([this] { SendNext(); }); });
}

FleetClient::~FleetClient() {
    notifier_.reset();
}

void FleetClient::Start() {
    Connect();
}

void FleetClient::Connect() {
    notifier_.reset();
    connected_ = false;
    conn_.reset();
    Result<pg::PgConnection> started =
        pg::PgConnection::StartConnect(conninfo_, pg::Wording::Whole);
    if (!started)
        return Lost(started.error().text);
    conn_ = std::move(*started);
    connectTimeout_.start();
    Watch(true);
}

void FleetClient::Watch(bool forWriting) {
    notifier_.reset();
    const Result<int> socket = conn_->Socket();
    if (!socket)
        return Lost(socket.error().text);
    notifier_ = std::make_unique<QSocketNotifier>(*socket, forWriting ? QSocketNotifier::Write
                                                                      : QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        Guarded([this] {
            if (connected_)
                Readable();
            else
                Poll();
        });
    });
}

void FleetClient::Poll() {
    const Result<pg::PgConnection::Step> step = conn_->ContinueConnect();
    if (!step)
        return Lost(step.error().text);
    switch (*step) {
    case pg::PgConnection::Step::Read:
        return Watch(false);
    case pg::PgConnection::Step::Write:
        return Watch(true);
    case pg::PgConnection::Step::Done:
        return Ready();
    }
}

void FleetClient::Ready() {
    connectTimeout_.stop();
    connected_ = true;
    Watch(false);
    wantFleet_ = true;
    // The console only reads; a mistake of its own must not change the collector's data.
    Send(Asked::Setup,
         QByteArray("SET default_transaction_read_only = on; LISTEN ") + ReportChannel);
}

void FleetClient::Lost(const QString& why) {
    notifier_.reset();
    conn_.reset();
    connected_ = false;
    connectTimeout_.stop();
    settle_.stop();
    asked_ = Asked::Nothing;
    answers_.clear();
    problem_ = why.isEmpty() ? QStringLiteral("the connection to the database was lost") : why;
    retry_.start();
    emit StateChanged();
}

void FleetClient::Problem(const QString& why) {
    problem_ = why;
    emit StateChanged();
}

void FleetClient::Readable() {
    const Result<std::vector<pg::PgConnection::Notification>> notes = conn_->TakeNotifications();
    if (!notes)
        return Lost(notes.error().text);
    const bool notified = !notes->empty();
    for (const pg::PgConnection::Notification& n : *notes)
        Notified(n.payload.toUtf8());
    while (asked_ != Asked::Nothing && !conn_->Busy()) {
        std::optional<Result<pg::PgResult>> result = conn_->NextResult();
        if (!result) {
            Answered();
            break;
        }
        answers_.push_back(std::move(*result));
    }
    if (!conn_)
        return; // lost while answering, and said so
    if (conn_->Broken())
        return Lost(conn_->ConnectionError().text);
    if (notified && !settle_.isActive())
        settle_.start();
}

void FleetClient::Notified(const QByteArray& payload) {
    // The collector names the report's logger (null: an unknown peer); anything else is read
    // as "something changed".
    const QJsonObject o = QJsonDocument::fromJson(payload).object();
    const QJsonValue logger = o.value("logger");
    if (logger.isDouble())
        wantLoggers_.insert(qint64(logger.toDouble()));
    else if (logger.isNull())
        wantUnknown_ = true;
    else
        wantFleet_ = true;
}

void FleetClient::Refresh() {
    wantFleet_ = true;
    SendNext();
}

void FleetClient::SendNext() {
    if (!connected_ || asked_ != Asked::Nothing)
        return;
    if (wantFleet_ || wantLoggers_.size() > MaxNamedLoggers) {
        wantFleet_ = wantUnknown_ = false;
        wantLoggers_.clear();
        return Send(Asked::Fleet, LoggersSelect + " ORDER BY name; " + UnknownSql);
    }
    if (!wantLoggers_.empty()) {
        QByteArray ids;
        for (qint64 id : wantLoggers_)
            ids += (ids.isEmpty() ? "" : ",") + QByteArray::number(id);
        wantLoggers_.clear();
        return Send(Asked::Loggers, LoggersSelect + " WHERE id IN (" + ids + ")");
    }
    if (wantUnknown_) {
        wantUnknown_ = false;
        return Send(Asked::Unknown, UnknownSql);
    }
}

void FleetClient::Send(Asked what, const QByteArray& sql) {
    if (const Result<void> sent = conn_->Send(sql); !sent)
        return Lost(sent.error().text);
    asked_ = what;
    answers_.clear();
}

void FleetClient::Answered() {
    const Asked asked = std::exchange(asked_, Asked::Nothing);
    const std::vector<Result<pg::PgResult>> answers = std::move(answers_);
    answers_.clear();
    for (const Result<pg::PgResult>& a : answers)
        if (!a)
            return asked == Asked::Setup ? Lost(a.error().text) : Problem(a.error().text);
    const bool hadProblem = !problem_.isEmpty();
    problem_.clear();
    switch (asked) {
    case Asked::Nothing:
    case Asked::Setup:
        emit StateChanged();
        break;
    case Asked::Fleet:
        if (answers.size() == 2) {
            snapshot_ = {LoggerRows(*answers[0]), UnknownReports(*answers[1])};
            emit FleetRead();
        }
        break;
    case Asked::Loggers:
        if (answers.size() == 1) {
            std::vector<LoggerRow> rows = LoggerRows(*answers[0]);
            for (const LoggerRow& row : rows) {
                auto known = std::find_if(snapshot_.loggers.begin(), snapshot_.loggers.end(),
                                          [&](const LoggerRow& r) { return r.id == row.id; });
                if (known != snapshot_.loggers.end())
                    *known = row;
                else
                    snapshot_.loggers.push_back(row);
            }
            emit LoggersRead(rows);
        }
        break;
    case Asked::Unknown:
        if (answers.size() == 1) {
            snapshot_.unknown = UnknownReports(*answers[0]);
            emit UnknownRead();
        }
        break;
    }
    if (hadProblem && asked != Asked::Setup)
        emit StateChanged();
    // Asked for while this statement was under way: read now (the settle time has passed).
    if (!settle_.isActive())
        SendNext();
}

} // namespace fleet
