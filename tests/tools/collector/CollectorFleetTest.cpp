// The fleet collector end to end, against a real PostgreSQL 15 that pg_virtualenv started for
// this test, with the emulator's fleet as the loggers: two collectors on one database, reports
// sent again and again while a thousand silent connections are open, an unknown peer filed
// later, connections that idle, send garbage or too much, a collector killed with SIGKILL
// mid-flood, the database stopped mid-flood, --accept-unknown, --reparse.
// Throughout, every measurement a fleet logger delivered is in the database exactly once.
#include <QDate>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>

#include "pg/PgConnection.h"
#include "records/MeasDecode.h"
#include "tools/collector/DatabaseSchema.h"
#include "tools/collector/SpoolSchema.h"
#include "tools/logger/FleetDump.h"
#include "tools/logger/MeasurementEncoder.h"

#include "CollectorProcesses.h"

using namespace collector;

namespace {

// Fleet loggers send from 127.1.0.1 on; the probe connections of the test from its own address.
QString Address(int k) {
    return QString("127.1.0.%1").arg(k);
}
const QString Probe = QStringLiteral("127.1.0.20");

QStringList FleetArgs(int loggers, quint16 port, const QString& dump, int days, int reports,
                      int items, const QString& seed) {
    return {"--fleet",
            QString::number(loggers),
            "--report-host",
            "127.0.0.1",
            "--report-port",
            QString::number(port),
            "--dump-items",
            dump,
            "--clock-start",
            QDate::currentDate().addDays(days).toString(Qt::ISODate) + "T00:00:00",
            "--reports",
            QString::number(reports),
            "--items",
            QString::number(items),
            "--seed",
            seed,
            "--report-all",
            "--report-interval-ms",
            "100",
            "--retries",
            "100",
            "--retry-delay-ms",
            "250"};
}

// The lines of a fleet's dump, of the loggers at `addresses` (all when empty).
QSet<QByteArray> DumpLines(const QString& path, const QStringList& addresses = {}) {
    QFile f(path);
    QSet<QByteArray> lines;
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty() &&
            (addresses.isEmpty() || addresses.contains(QString::fromLatin1(line.split('\t')[0]))))
            lines.insert(line);
    return lines;
}

std::optional<double> Value(const pg::PgResult& r, int row, int column) {
    return r.IsNull(row, column) ? std::nullopt : std::optional(r.Bytes(row, column).toDouble());
}

// Every stored measurement in the dump's form, and the number of rows (a line twice would be
// one line but two rows).
QSet<QByteArray> StoredLines(pg::PgConnection& db, int64_t& rows) {
    QSet<QByteArray> lines;
    Result<pg::PgResult> r =
        db.Exec("SELECT host(l.address), m.board, m.channel, "
                "to_char(m.logger_time, 'YYYY-MM-DD\"T\"HH24:MI:SS'), m.range, m.rx, m.xx "
                "FROM measurement m JOIN logger l ON l.id = m.logger");
    rows = r ? r->Rows() : -1;
    for (int k = 0; r && k < r->Rows(); ++k)
        lines.insert(logger::FleetItemLine(
            r->Text(k, 0), static_cast<int>(r->Int(k, 1)), static_cast<int>(r->Int(k, 2)),
            r->Text(k, 3), static_cast<int>(r->Int(k, 4)), Value(*r, k, 5), Value(*r, k, 6)));
    return lines;
}

int64_t Scalar(pg::PgConnection& db, const QByteArray& sql,
               const std::vector<QByteArray>& params = {}) {
    Result<pg::PgResult> r = db.Exec(sql, params);
    return r && r->Rows() > 0 ? r->Int(0, 0) : -1;
}

// The database holds exactly `expected`, each once, and every measurement counts as new in
// exactly one report (unless `newCounted` is false: rows deleted by hand and parsed again).
void ExpectStoredOnce(pg::PgConnection& db, const QSet<QByteArray>& expected,
                      bool newCounted = true) {
    int64_t rows = 0;
    const QSet<QByteArray> stored = StoredLines(db, rows);
    const QSet<QByteArray> missing = expected - stored;
    const QSet<QByteArray> extra = stored - expected;
    EXPECT_TRUE(missing.isEmpty()) << missing.size() << " missing, e.g. "
                                   << (missing.isEmpty() ? "" : missing.begin()->toStdString());
    EXPECT_TRUE(extra.isEmpty()) << extra.size() << " extra, e.g. "
                                 << (extra.isEmpty() ? "" : extra.begin()->toStdString());
    EXPECT_EQ(rows, stored.size());
    if (newCounted) {
        EXPECT_EQ(Scalar(db, "SELECT sum(new_items) FROM report"), rows);
    }
}

// A connection from the probe's address that sends `bytes`, then closes when `close`.
std::unique_ptr<QTcpSocket> ProbeConnection(quint16 port, const QByteArray& bytes, bool close) {
    auto s = std::make_unique<QTcpSocket>();
    if (!s->bind(QHostAddress(Probe)))
        return nullptr;
    s->connectToHost(QHostAddress::LocalHost, port);
    if (!s->waitForConnected(30000))
        return nullptr;
    s->write(bytes);
    if (close)
        s->disconnectFromHost();
    return s;
}

bool Closed(QTcpSocket* s) {
    return QTest::qWaitFor([s] { return s->state() == QAbstractSocket::UnconnectedState; }, 60000);
}

// Report items as a logger sends them: `count` measurements of board 1, the last one with a
// month that cannot be when `lastInvalid`.
QByteArray Items(int count, bool lastInvalid, QSet<QByteArray>* lines) {
    QByteArray bytes;
    const QDateTime t(QDate::currentDate().addDays(9), QTime(10, 0), QTimeZone::utc());
    for (int k = 0; k < count; ++k) {
        logger::MeasurementBytes m =
            logger::EncodeMeasurement(0, k, logger::EncodeImpedance(100.0 + k, -5.0), t, 1);
        if (lastInvalid && k == count - 1)
            m[9] = static_cast<uint8_t>((m[9] & 0xF0) | 13);
        else if (lines)
            lines->insert(logger::FleetItemLine(
                Probe, DecodeMeasurement(m.data(), QDate::currentDate().year()).record));
        const logger::ReportItemBytes item = logger::ReportItem(m);
        bytes.append(reinterpret_cast<const char*>(item.data()), item.size());
    }
    return bytes;
}

struct SpooledConnection {
    QByteArray key;
    QByteArray peer;
    int64_t bytes = 0;
    bool open = false; // not ended yet
};

std::vector<SpooledConnection> ReadSpool(const QString& path) {
    std::vector<SpooledConnection> out;
    SqliteDb f;
    const Result<void> opened = f.TryOpen(path, true);
    f.SetBusyTimeout(SpoolBusyMs);
    Result<SqliteStatement> s =
        opened ? f.TryPrepare("SELECT key, peer, (SELECT coalesce(sum(length(data)), 0) FROM chunk "
                              "WHERE connection = c.id), closed_seq IS NULL FROM connection c")
               : Result<SqliteStatement>(tl::unexpected(opened.error()));
    for (Result<bool> row; s && (row = s->TryStep()) && *row;)
        out.push_back({s->Text(0).toUtf8(), s->Text(1).toUtf8(), s->Int(2), s->Int(3) != 0});
    return out;
}

// As many as the test may open (the usual soft limit of 1,024 files is raised), up to 1,100.
int SilentConnections() {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    return static_cast<int>(std::min<rlim_t>(1100, limit.rlim_cur - 200));
}

bool PgCtl(const QString& action) {
    return QProcess::execute("pg_ctlcluster", {qEnvironmentVariable("PGVERSION", "15"), "regress",
                                               action, "-m", "fast"}) == 0;
}

int ReportLines(const QString& log) {
    static const QRegularExpression line(R"(report \d+ from )");
    return static_cast<int>(log.count(line));
}

} // namespace

TEST(CollectorFleet, EveryMeasurementOnceThroughFaults) {
    QTemporaryDir dir;
    Result<pg::PgConnection> db = pg::PgConnection::Connect("");
    ASSERT_TRUE(db) << "run under pg_virtualenv: " << db.error().text.toStdString();
    const QStringList stateA = {"--state", dir.filePath("a")};

    // Loggers by address; .8 through a range that .9's own entry narrows; .10 stays unknown.
    for (int k : {1, 2, 3, 4, 5, 6, 7, 9})
        ASSERT_EQ(RunCollectorCommand(
                      stateA + QStringList{"--add-logger", QString("L%1").arg(k), Address(k)})
                      .status,
                  0);
    ASSERT_EQ(
        RunCollectorCommand(stateA + QStringList{"--add-logger", "range", "127.1.0.8/31"}).status,
        0);
    ASSERT_EQ(RunCollectorCommand(stateA + QStringList{"--add-logger", "probe", Probe}).status, 0);
    EXPECT_EQ(RunCollectorCommand(stateA + QStringList{"--add-logger", "again", Address(1)}).status,
              1);
    EXPECT_EQ(RunCollectorCommand(stateA + QStringList{"--add-logger", "bad", "127.1.0"}).status,
              1);
    const CommandRun check = RunCollectorCommand(stateA + QStringList{"--check"});
    EXPECT_EQ(check.status, 0) << check.output.toStdString();
    EXPECT_TRUE(check.output.contains(QString("ok: PostgreSQL 15"))) << check.output.toStdString();

    Result<pg::PgConnection> listener = pg::PgConnection::Connect("");
    ASSERT_TRUE(listener && listener->Exec(QByteArray("LISTEN ") + ReportChannel));

    // --- Two collectors; twin fleets send the same measurements to both, three times each.
    CollectorProcess a(dir.filePath("a.log"),
                       stateA + QStringList{"--idle-timeout", "5", "--max-report", "64K"});
    CollectorProcess b(dir.filePath("b.log"), {"--state", dir.filePath("b")});
    const quint16 portA = a.Start();
    const quint16 portB = b.Start();
    ASSERT_NE(portA, 0) << a.Log().toStdString();
    ASSERT_NE(portB, 0) << b.Log().toStdString();
    // A thousand and more silent connections stay open while the fleets report; they leave
    // nothing behind (no byte, unknown address).
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    for (int k = 0; k < SilentConnections(); ++k) {
        silent.push_back(std::make_unique<QTcpSocket>());
        silent.back()->connectToHost(QHostAddress::LocalHost, portA);
        ASSERT_TRUE(silent.back()->waitForConnected(30000)) << k;
    }
    FleetProcess fleetA, fleetB;
    fleetA.Start(FleetArgs(10, portA, dir.filePath("1a.txt"), 0, 3, 200, "11"));
    fleetB.Start(FleetArgs(10, portB, dir.filePath("1b.txt"), 0, 3, 200, "11"));

    // Meanwhile, from the probe's address: one that falls silent, one with garbage around four
    // items (the last with a month 13) and a cut item, one with more than 64 KiB.
    QSet<QByteArray> probeLines;
    const QByteArray garbage = "no report here\r\n" + Items(4, true, &probeLines) + "\xA5\x01\x02";
    auto idle = ProbeConnection(portA, "\x01\x02\x03", false);
    auto noisy = ProbeConnection(portA, garbage, true);
    auto flood = ProbeConnection(portA, QByteArray(100 * 1024, '\0'), false);
    ASSERT_TRUE(idle && noisy && flood);
    EXPECT_EQ(fleetA.Wait(), 0);
    EXPECT_EQ(fleetB.Wait(), 0);
    EXPECT_TRUE(Closed(idle.get()) && Closed(noisy.get()) && Closed(flood.get()));
    for (const auto& s : silent)
        EXPECT_TRUE(Closed(s.get()));
    EXPECT_EQ(a.Term(), 0);
    EXPECT_EQ(b.Term(), 0);

    QStringList known;
    for (int k = 1; k <= 9; ++k)
        known << Address(k);
    const QSet<QByteArray> twins = DumpLines(dir.filePath("1b.txt"));
    EXPECT_EQ(DumpLines(dir.filePath("1a.txt")), twins);
    EXPECT_EQ(twins.size(), 10 * 600);
    QSet<QByteArray> expected = DumpLines(dir.filePath("1a.txt"), known) + probeLines;
    ExpectStoredOnce(*db, expected);

    // One row per connection, one log line per row, one NOTIFY per row.
    const int64_t reports = Scalar(*db, "SELECT count(*) FROM report");
    EXPECT_GE(reports, 2 * 10 * 3 + 3);
    EXPECT_EQ(ReportLines(a.Log()) + ReportLines(b.Log()), reports);
    ASSERT_TRUE(listener->Exec("SELECT 1"));
    QSet<int64_t> notified;
    const auto notes = listener->TakeNotifications();
    ASSERT_TRUE(notes) << notes.error().text.toStdString();
    for (const pg::PgConnection::Notification& n : *notes)
        notified.insert(QJsonDocument::fromJson(n.payload.toUtf8()).object()["report"].toInteger());
    EXPECT_EQ(notified.size(), reports);
    EXPECT_TRUE(notified.contains(Scalar(*db, "SELECT max(id) FROM report")));

    // The unknown peer's reports are kept, not filed; the probe's odd ones are marked.
    EXPECT_EQ(Scalar(*db,
                     "SELECT count(*) FROM report WHERE host(peer) = '127.1.0.10' AND "
                     "logger IS NULL AND status = 'unknown peer' AND items IN (200, 400, 600)"),
              6);
    EXPECT_EQ(Scalar(*db,
                     "SELECT count(*) FROM report WHERE host(peer) = $1 AND "
                     "ending = 'idle timeout' AND octet_length(raw) = 3 AND garbage = 3",
                     {Probe.toUtf8()}),
              1);
    EXPECT_EQ(Scalar(*db,
                     "SELECT count(*) FROM report WHERE host(peer) = $1 AND ending = 'closed' "
                     "AND items = 4 AND invalid = 1 AND new_items = 3 AND garbage = $2",
                     {Probe.toUtf8(), QByteArray::number(garbage.size() - 44)}),
              1);
    EXPECT_EQ(Scalar(*db,
                     "SELECT count(*) FROM report WHERE host(peer) = $1 AND ending = 'cut' "
                     "AND octet_length(raw) = 65536",
                     {Probe.toUtf8()}),
              1);
    EXPECT_EQ(Scalar(*db, "SELECT count(*) FROM logger_status WHERE name = 'L1' AND "
                          "measurements = 600 AND last_report_items = 600 AND NOT late"),
              1);

    // --add-logger files what was kept.
    const CommandRun late =
        RunCollectorCommand(stateA + QStringList{"--add-logger", "late", Address(10)});
    EXPECT_EQ(late.status, 0);
    EXPECT_TRUE(late.output.contains("6 kept reports filed")) << late.output.toStdString();
    expected += DumpLines(dir.filePath("1a.txt"), {Address(10)});
    ExpectStoredOnce(*db, expected);
    EXPECT_EQ(Scalar(*db, "SELECT count(*) FROM report WHERE logger IS NULL"), 0);

    // --- SIGKILL mid-flood, once the probe's half report is on disk; then a restart.
    const quint16 port = a.Start();
    ASSERT_NE(port, 0);
    FleetProcess flood2;
    flood2.Start(FleetArgs(6, port, dir.filePath("2.txt"), 2, 12, 300, "22"));
    auto half = ProbeConnection(port, Items(5, false, &probeLines), false);
    ASSERT_TRUE(half);
    const QString spool = dir.filePath("a/spool.sqlite");
    auto probeSpooled = [&] {
        for (const SpooledConnection& c : ReadSpool(spool))
            if (c.peer == Probe.toUtf8() && c.bytes == 55)
                return true;
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor(probeSpooled, 60000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return Scalar(*db, "SELECT count(*) FROM report WHERE peer <<= '127.1.0.0/29' AND "
                               "started_at > now() - interval '1 minute' AND items = 300") > 0;
        },
        60000));
    a.Kill();
    const std::vector<SpooledConnection> spooled = ReadSpool(spool);
    EXPECT_EQ(a.Start(port), port);
    EXPECT_EQ(flood2.Wait(), 0);
    EXPECT_EQ(a.Term(), 0);
    for (const SpooledConnection& c : spooled)
        EXPECT_EQ(
            Scalar(*db, "SELECT octet_length(raw) FROM report WHERE spool_key = $1::uuid", {c.key}),
            c.bytes)
            << c.key.toStdString();
    EXPECT_EQ(Scalar(*db,
                     "SELECT count(*) FROM report WHERE host(peer) = $1 AND "
                     "ending = 'interrupted' AND items = 5",
                     {Probe.toUtf8()}),
              1);
    expected += DumpLines(dir.filePath("2.txt")) + probeLines;
    ExpectStoredOnce(*db, expected);

    // --- The database stopped mid-flood and started again: the collector goes on taking reports.
    const qsizetype logFrom = a.Log().size();
    const quint16 port3 = a.Start();
    ASSERT_NE(port3, 0);
    const int64_t before = Scalar(*db, "SELECT max(id) FROM report");
    // Forty reports a logger 100 ms apart: the flood still runs when the database stops, however
    // slowly the first six are stored. Each report carries all items so far: 4,000 of them stay
    // under the 64K at which this collector cuts a report.
    FleetProcess flood3;
    flood3.Start(FleetArgs(6, port3, dir.filePath("3.txt"), 4, 40, 100, "33"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return Scalar(*db, "SELECT count(*) FROM report WHERE id > $1",
                          {QByteArray::number(before)}) >= 6;
        },
        60000));
    ASSERT_TRUE(PgCtl("stop"));
    const qint64 stoppedAt = QDateTime::currentMSecsSinceEpoch();
    QTest::qWait(3000);
    const qint64 startedAt = QDateTime::currentMSecsSinceEpoch();
    ASSERT_TRUE(PgCtl("start"));
    EXPECT_EQ(flood3.Wait(), 0);
    db = pg::PgConnection::Connect("");
    ASSERT_TRUE(db);
    // What the outage held back is delivered before the collector is stopped (a stop would keep
    // it in the spool for the next start).
    expected += DumpLines(dir.filePath("3.txt"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Scalar(*db, "SELECT count(*) FROM measurement") >= expected.size(); },
        120000));
    EXPECT_EQ(a.Term(), 0);
    EXPECT_GT(Scalar(*db,
                     "SELECT count(*) FROM report WHERE started_at BETWEEN "
                     "to_timestamp($1 / 1000.0) AND to_timestamp($2 / 1000.0)",
                     {QByteArray::number(stoppedAt), QByteArray::number(startedAt)}),
              0);
    const QString outage = a.Log().mid(logFrom);
    // Two workers deliver: one may still commit on its old connection after the other has met
    // the stopping server, so the outage can be logged as ended and begun again.
    EXPECT_GE(outage.count("database unavailable"), 1) << outage.toStdString();
    EXPECT_TRUE(outage.contains("database back")) << outage.toStdString();
    ExpectStoredOnce(*db, expected);

    // --- --accept-unknown registers a new peer on its first report, named after its address;
    // --max-connections: of five silent connections three are taken, the others wait their turn.
    CollectorProcess open(dir.filePath("b.log"), {"--state", dir.filePath("b"), "--accept-unknown",
                                                  "--max-connections", "3", "--idle-timeout", "2"});
    const quint16 portOpen = open.Start();
    ASSERT_NE(portOpen, 0);
    std::vector<std::unique_ptr<QTcpSocket>> waiting;
    for (int k = 0; k < 5; ++k) {
        waiting.push_back(std::make_unique<QTcpSocket>());
        waiting.back()->connectToHost(QHostAddress::LocalHost, portOpen);
        ASSERT_TRUE(waiting.back()->waitForConnected(30000));
    }
    auto openInSpool = [&] {
        int n = 0;
        for (const SpooledConnection& c : ReadSpool(dir.filePath("b/spool.sqlite")))
            n += c.open ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return openInSpool() == 3; }, 30000));
    QTest::qWait(500);
    EXPECT_EQ(openInSpool(), 3);
    waiting.clear(); // closed: the two that waited are taken and end at once
    EXPECT_TRUE(QTest::qWaitFor([&] { return openInSpool() == 0; }, 30000));
    FleetProcess newcomers;
    QStringList newcomersArgs = FleetArgs(2, portOpen, dir.filePath("4.txt"), 6, 1, 100, "44");
    newcomersArgs << "--fleet-address"
                  << "127.1.0.40";
    newcomers.Start(newcomersArgs);
    EXPECT_EQ(newcomers.Wait(), 0);
    EXPECT_EQ(open.Term(), 0);
    EXPECT_EQ(Scalar(*db, "SELECT count(*) FROM logger WHERE name IN ('127.1.0.40', '127.1.0.41') "
                          "AND name = host(address)"),
              2);
    expected += DumpLines(dir.filePath("4.txt"));
    ExpectStoredOnce(*db, expected);

    // --- --reparse brings back what went missing, and adds nothing else.
    ASSERT_TRUE(db->Exec(
        "DELETE FROM measurement WHERE logger = (SELECT id FROM logger WHERE name = 'L1')"));
    EXPECT_EQ(RunCollectorCommand(stateA + QStringList{"--reparse"}).status, 0);
    ExpectStoredOnce(*db, expected, false);
}
