// The fleet view end to end, against a real PostgreSQL that pg_virtualenv started for this test,
// filled by the collector from the emulator's fleet: each logger's state (OK, late, never
// reported), the unknown peer's report, a new report seen without asking, one logger's
// measurements loaded exactly, and a database that cannot be reached.
#include <QDate>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "fleet/FleetClient.h"
#include "fleet/MeasurementLoad.h"
#include "tools/collector/PgConnection.h"
#include "tools/logger/FleetDump.h"

#include "tools/collector/CollectorProcesses.h"

using namespace fleet;

namespace {

QStringList FleetArgs(int loggers, quint16 port, const QString& dump, int days) {
    return {"--fleet",       QString::number(loggers),
            "--report-host", "127.0.0.1",
            "--report-port", QString::number(port),
            "--dump-items",  dump,
            "--clock-start", QDate::currentDate().addDays(days).toString(Qt::ISODate) + "T00:00:00",
            "--reports",     "1",
            "--items",       "300",
            "--seed",        QString::number(days + 7)};
}

QSet<QByteArray> DumpLines(const QString& path, const QString& address) {
    QFile f(path);
    QSet<QByteArray> lines;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(address.toLatin1() + '\t'))
                lines.insert(line);
    return lines;
}

const LoggerRow* Row(const FleetClient& client, const QString& name) {
    for (const LoggerRow& r : client.Snapshot().loggers)
        if (r.name == name)
            return &r;
    return nullptr;
}

} // namespace

TEST(Fleet, StatesLiveReportsAndLoad) {
    if (!qEnvironmentVariableIsSet("PGHOST"))
        GTEST_SKIP() << "needs a PostgreSQL server: run under pg_virtualenv (postgresql-15)";
    QTemporaryDir dir;
    const QStringList state = {"--state", dir.filePath("state")};
    for (const auto& [name, address] :
         {std::pair{"L1", "127.1.0.1"}, {"L2", "127.1.0.2"}, {"Silent", "127.1.0.9"}})
        ASSERT_EQ(RunCollectorCommand(state + QStringList{"--add-logger", name, address}).status,
                  0);
    CollectorProcess collector(dir.filePath("collector.log"), state);
    const quint16 port = collector.Start();
    ASSERT_NE(port, 0) << collector.Log().toStdString();
    // Three loggers report once; the third (127.1.0.3) is no known logger.
    FleetProcess first;
    first.Start(FleetArgs(3, port, dir.filePath("first.txt"), -1));
    ASSERT_EQ(first.Wait(), 0);
    // Once the collector stored the three, L2's report is made three days old: L2 is late.
    auto db = collector::PgConnection::Connect("");
    ASSERT_TRUE(db);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto n = db->Exec("SELECT count(*) FROM report");
            return n && n->Int(0, 0) == 3;
        },
        60000));
    ASSERT_TRUE(db->Exec("UPDATE report SET ended_at = ended_at - interval '3 days' "
                         "WHERE logger = (SELECT id FROM logger WHERE name = 'L2')"));

    FleetClient client("");
    client.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.Snapshot().loggers.size() == 3; }, 60000))
        << client.Problem().toStdString();
    EXPECT_TRUE(client.Connected());
    const QSet<QByteArray> l1First = DumpLines(dir.filePath("first.txt"), "127.1.0.1");
    ASSERT_EQ(l1First.size(), 300);
    const struct {
        QString name;
        LoggerState state;
        qint64 measurements;
    } expected[] = {{"L1", LoggerState::Ok, 300},
                    {"L2", LoggerState::Late, 300},
                    {"Silent", LoggerState::Never, 0}};
    for (const auto& e : expected) {
        const LoggerRow* r = Row(client, e.name);
        ASSERT_TRUE(r) << e.name.toStdString();
        EXPECT_EQ(r->State(), e.state) << e.name.toStdString();
        EXPECT_EQ(r->measurements, e.measurements) << e.name.toStdString();
        EXPECT_EQ(r->lastReportItems, e.measurements) << e.name.toStdString();
    }
    EXPECT_EQ(Row(client, "L2")->lastReport.daysTo(QDateTime::currentDateTime()), 3);
    ASSERT_EQ(client.Snapshot().unknown.size(), 1u);
    EXPECT_EQ(client.Snapshot().unknown[0].peer, "127.1.0.3");
    EXPECT_GT(client.Snapshot().unknown[0].bytes, 300 * 11 - 1);

    // A new report of L1 shows without a Refresh: the collector's NOTIFY brings it.
    FleetProcess second;
    second.Start(FleetArgs(1, port, dir.filePath("second.txt"), 0));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Row(client, "L1")->measurements == 600; }, 30000));

    // L1's measurements, all of them, in logger-time order; then only the last day's.
    const QSet<QByteArray> l1All = l1First + DumpLines(dir.filePath("second.txt"), "127.1.0.1");
    for (const auto& [span, lines] : {std::pair{LoadSpan{}, l1All},
                                      {LoadSpan{QDate::currentDate().startOfDay(), {}},
                                       DumpLines(dir.filePath("second.txt"), "127.1.0.1")}}) {
        MeasurementLoad load;
        std::vector<TMeasRecord> loaded;
        QObject::connect(&load, &MeasurementLoad::Slice, [&](const std::vector<TMeasRecord>& s) {
            loaded.insert(loaded.end(), s.begin(), s.end());
        });
        QSignalSpy finished(&load, &MeasurementLoad::Finished);
        ASSERT_TRUE(load.Start("", Row(client, "L1")->id, span));
        ASSERT_TRUE(finished.wait(60000));
        EXPECT_EQ(finished[0][0].toLongLong(), qint64(lines.size()));
        EXPECT_FALSE(finished[0][1].toBool());
        EXPECT_EQ(finished[0][2].toString(), "");
        QSet<QByteArray> got;
        for (size_t i = 0; i < loaded.size(); ++i) {
            got.insert(logger::FleetItemLine("127.1.0.1", loaded[i]));
            if (i > 0) {
                EXPECT_LE(loaded[i - 1].Time, loaded[i].Time);
            }
        }
        EXPECT_EQ(loaded.size(), size_t(lines.size()));
        EXPECT_EQ(got, lines);
    }

    // A database that is not there: said, and no snapshot.
    FleetClient nowhere("host=/nonexistent connect_timeout=2");
    nowhere.Start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !nowhere.Problem().isEmpty(); }, 30000));
    EXPECT_FALSE(nowhere.Connected());
    EXPECT_EQ(collector.Term(), 0);
}
