#include "fleet/FleetClient.h"

#include <QSocketNotifier>
#include <libpq-fe.h>

#include "base/EventGuard.h"

namespace fleet {

namespace {

// The channel the collector notifies after each committed report.
constexpr char ReportChannel[] = "impix_report";

const QByteArray LoggersSql =
    "SELECT id, name, abbrev(address), (extract(epoch FROM last_report_at) * 1000)::bigint, "
    "coalesce(last_report_items, 0), measurements, late FROM logger_status ORDER BY name";
// The newest first; a flood of strangers is not worth more rows than a person reads.
const QByteArray UnknownSql =
    "SELECT abbrev(peer), (extract(epoch FROM ended_at) * 1000)::bigint, octet_length(raw) "
    "FROM report WHERE logger IS NULL ORDER BY ended_at DESC LIMIT 10000";

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
    connect(&settle_, &QTimer::timeout, this, [this] { Guarded([this] { Refresh(); }); });
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
    conn_.reset(PQconnectStart(conninfo_.toUtf8().constData()));
    if (!conn_)
        return Lost(QStringLiteral("out of memory"));
    if (PQstatus(conn_.get()) == CONNECTION_BAD)
        return Lost(ConnError(conn_.get()));
    connectTimeout_.start();
    Watch(true);
}

void FleetClient::Watch(bool forWriting) {
    notifier_.reset();
    const int socket = PQsocket(conn_.get());
    if (socket < 0)
        return Lost(ConnError(conn_.get()));
    notifier_ = std::make_unique<QSocketNotifier>(socket, forWriting ? QSocketNotifier::Write
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
    switch (PQconnectPoll(conn_.get())) {
    case PGRES_POLLING_READING:
        return Watch(false);
    case PGRES_POLLING_WRITING:
        return Watch(true);
    case PGRES_POLLING_OK:
        return Ready();
    default:
        return Lost(ConnError(conn_.get()));
    }
}

void FleetClient::Ready() {
    connectTimeout_.stop();
    // The console only reads; a mistake of its own must not change the collector's data.
    for (const QByteArray& sql : {QByteArray("SET default_transaction_read_only = on"),
                                  QByteArray("LISTEN ") + ReportChannel}) {
        const PgRows r = Query(conn_.get(), sql);
        if (!r.Ok())
            return Lost(r.error);
    }
    connected_ = true;
    problem_.clear();
    Watch(false);
    Refresh();
}

void FleetClient::Lost(const QString& why) {
    notifier_.reset();
    conn_.reset();
    connected_ = false;
    connectTimeout_.stop();
    settle_.stop();
    problem_ = why.isEmpty() ? QStringLiteral("the connection to the database was lost") : why;
    retry_.start();
    emit Changed();
}

void FleetClient::Readable() {
    if (!PQconsumeInput(conn_.get()))
        return Lost(ConnError(conn_.get()));
    bool notified = false;
    while (PGnotify* n = PQnotifies(conn_.get())) {
        notified = true;
        PQfreemem(n);
    }
    if (PQstatus(conn_.get()) == CONNECTION_BAD)
        return Lost(ConnError(conn_.get()));
    if (notified && !settle_.isActive())
        settle_.start();
}

void FleetClient::Refresh() {
    if (!connected_)
        return;
    const PgRows loggers = Query(conn_.get(), LoggersSql);
    const PgRows unknown = loggers.Ok() ? Query(conn_.get(), UnknownSql) : PgRows{};
    if (PQstatus(conn_.get()) == CONNECTION_BAD)
        return Lost(ConnError(conn_.get()));
    if (!loggers.Ok() || !unknown.Ok()) {
        problem_ = loggers.Ok() ? unknown.error : loggers.error;
        emit Changed();
        return;
    }
    FleetSnapshot s;
    s.loggers.reserve(size_t(loggers.Rows()));
    for (int r = 0; r < loggers.Rows(); ++r) {
        LoggerRow row;
        row.id = loggers.Int(r, 0);
        row.name = loggers.Text(r, 1);
        row.address = loggers.Text(r, 2);
        if (!loggers.IsNull(r, 3))
            row.lastReport = QDateTime::fromMSecsSinceEpoch(loggers.Int(r, 3));
        row.lastReportItems = loggers.Int(r, 4);
        row.measurements = loggers.Int(r, 5);
        row.late = loggers.Text(r, 6) == "t";
        s.loggers.push_back(std::move(row));
    }
    s.unknown.reserve(size_t(unknown.Rows()));
    for (int r = 0; r < unknown.Rows(); ++r)
        s.unknown.push_back({unknown.Text(r, 0), QDateTime::fromMSecsSinceEpoch(unknown.Int(r, 1)),
                             unknown.Int(r, 2)});
    snapshot_ = std::move(s);
    problem_.clear();
    emit Changed();
}

} // namespace fleet
