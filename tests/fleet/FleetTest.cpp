// The fleet view end to end, against a real PostgreSQL that pg_virtualenv started for this test,
// filled by the collector from the emulator's fleet: each logger's state (OK, late, never
// reported), the unknown peer's report, a new report seen without asking, one logger's
// measurements loaded exactly, and a database that cannot be reached.
// (The window is the one the console opens with "Fleet...".)
#include <QDate>
#include <QSet>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/features/FleetWindow.h"
#include "fleet/FleetClient.h"
#include "fleet/FleetConninfo.h"
#include "fleet/MeasurementLoad.h"
#include "pg/PgConnection.h"
#include "tools/logger/FleetDump.h"
#include "widgets/RadioGroup.h"

#include "support/ConsoleSandbox.h"
#include "support/WorkbookReader.h"

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
    auto db = pg::PgConnection::Connect("");
    ASSERT_TRUE(db);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto n = db->Exec("SELECT count(*) FROM report");
            return n && n->Int(0, 0) == 3;
        },
        60000));
    ASSERT_TRUE(db->Exec("UPDATE report SET ended_at = ended_at - interval '3 days' "
                         "WHERE logger = (SELECT id FROM logger WHERE name = 'L2')"));

    // The window, as the operator (or a script) sees it; its loads go to `buffer`.
    std::vector<TMeasRecord> buffer;
    QString kept;
    FleetWindow window(
        "application_name=impix_fleet_test",
        [&](std::span<const TMeasRecord> s) { buffer.insert(buffer.end(), s.begin(), s.end()); },
        [&](const QString& c) { kept = c; });
    window.show();
    auto* list = window.findChild<QTableView*>("FleetLst");
    ASSERT_TRUE(list);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount() == 3; }, 60000))
        << window.findChild<QLabel*>("FleetStateTx")->text().toStdString();
    // Sorted by name: L1, L2, Silent; name|address|last report|items|measurements|state.
    const QAbstractItemModel* rows = list->model();
    auto cell = [&](int row, int column) { return rows->index(row, column).data().toString(); };
    const struct {
        QString name, address, items, measurements, state;
        bool red;
    } expected[] = {{"L1", "127.1.0.1", "300", "300", "OK", false},
                    {"L2", "127.1.0.2", "300", "300", "late", true},
                    {"Silent", "127.1.0.9", "0", "0", "never reported", false}};
    for (int r = 0; r < 3; ++r) {
        const auto& e = expected[r];
        EXPECT_EQ(QStringList({cell(r, 0), cell(r, 1), cell(r, 3), cell(r, 4), cell(r, 5)}),
                  QStringList({e.name, e.address, e.items, e.measurements, e.state}));
        EXPECT_EQ(rows->index(r, 0).data(Qt::ForegroundRole).value<QBrush>().color() == Qt::red,
                  e.red)
            << r;
    }
    EXPECT_TRUE(cell(0, 2).contains(" ago") || cell(0, 2).endsWith("just now"));
    EXPECT_FALSE(cell(0, 2).contains("days")) << cell(0, 2).toStdString();
    EXPECT_TRUE(cell(1, 2).endsWith(", 3 days ago")) << cell(1, 2).toStdString();
    EXPECT_EQ(cell(2, 2), "");
    EXPECT_EQ(window.findChild<QLabel*>("FleetLateTx")->text(), "1 of 3 late");
    EXPECT_EQ(window.windowTitle(), "Fleet - 1 late");
    const QAbstractItemModel* unknown = window.findChild<QTableView*>("FleetUnknownLst")->model();
    ASSERT_EQ(unknown->rowCount(), 1);
    EXPECT_EQ(unknown->index(0, 0).data().toString(), "127.1.0.3");
    EXPECT_GE(unknown->index(0, 2).data().toInt(), 300 * 11);
    window.findChild<QLineEdit*>("FleetFilterEd")->setText("silent");
    EXPECT_EQ(rows->rowCount(), 1);
    window.findChild<QLineEdit*>("FleetFilterEd")->setText("");

    // A new report of L1 shows without a click: the collector's NOTIFY brings it, and only L1's
    // row is read again (the list keeps its model).
    auto sourceModel = [&] {
        return static_cast<const QSortFilterProxyModel*>(rows)->sourceModel();
    };
    const QAbstractItemModel* before = sourceModel();
    FleetProcess second;
    second.Start(FleetArgs(1, port, dir.filePath("second.txt"), 0));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return cell(0, 4) == "600"; }, 30000))
        << cell(0, 4).toStdString();
    EXPECT_EQ(sourceModel(), before);
    EXPECT_EQ(cell(1, 4), "300");

    // "Load" of L1 with "all": exactly its measurements, in logger-time order.
    const QSet<QByteArray> l1All = DumpLines(dir.filePath("first.txt"), "127.1.0.1") +
                                   DumpLines(dir.filePath("second.txt"), "127.1.0.1");
    ASSERT_EQ(l1All.size(), 600);
    list->selectRow(0);
    window.findChild<RadioGroup*>("FleetSpanGrp")->PickItem(2);
    window.findChild<QPushButton*>("FleetLoadBtn")->click();
    auto* stateTx = window.findChild<QLabel*>("FleetStateTx");
    ASSERT_TRUE(QTest::qWaitFor([&] { return stateTx->text() != "Loading..."; }, 60000));
    EXPECT_EQ(stateTx->text().toStdString(), "Loaded 600 measurements");
    QSet<QByteArray> got;
    for (size_t i = 0; i < buffer.size(); ++i) {
        got.insert(logger::FleetItemLine("127.1.0.1", buffer[i]));
        if (i > 0) {
            EXPECT_LE(buffer[i - 1].Time, buffer[i].Time);
        }
    }
    EXPECT_EQ(buffer.size(), 600u);
    EXPECT_EQ(got, l1All);

    // A span: from today on, only the second report's (its clock starts today).
    MeasurementLoad load;
    size_t loaded = 0;
    QObject::connect(&load, &MeasurementLoad::Slice,
                     [&](const std::vector<TMeasRecord>& s) { loaded += s.size(); });
    QSignalSpy finished(&load, &MeasurementLoad::Finished);
    ASSERT_TRUE(load.Start("",
                           window.findChild<QTableView*>("FleetLst")
                               ->model()
                               ->index(0, 0)
                               .data(Qt::UserRole + 1)
                               .toLongLong(),
                           {QDate::currentDate().startOfDay(), {}}));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(loaded, 300u);
    EXPECT_EQ(finished[0][0].toLongLong(), 300);

    // The same through a script of the real console: the fleet as printed, today's
    // measurements of L1 (the second report's) loaded and filled into a workbook, exactly.
    {
        ConsoleSandbox console;
        ASSERT_TRUE(console.Ok());
        const QString build = qEnvironmentVariable("IMPIX_BUILD_DIR");
        ASSERT_TRUE(QFile::copy(build + "/impix-sheets", console.Folder() + "/impix-sheets"));
        ASSERT_TRUE(QDir().mkpath(console.Folder() + "/Forms"));
        ASSERT_TRUE(
            QFile::copy(build + "/Forms/Table1.xlsx", console.Folder() + "/Forms/Table1.xlsx"));
        QTemporaryDir runtime; // the spreadsheet service's socket folder
        console.SetEnv("XDG_RUNTIME_DIR", runtime.path());
        console.SetArgs({"--no-archive", "--fleet", "application_name=impix_fleet_script"});
        const QDate today = QDate::currentDate();
        // The waits only let the database answer; they are generous, not measured.
        const ConsoleResult r = console.Run(
            QString(R"(click FleetBtn
wait 8000
print FleetLateTx
print FleetLst
set FleetLst 1
set FleetSpanGrp 3
set FleetFromEd %1 00:00
set FleetToEd %2 00:00
click FleetLoadBtn
wait 8000
print FleetStateTx
page TabSheet4
set SourceRg 1
click ExExpBtn
print ExStatusTx
quit
)")
                .arg(today.toString(Qt::ISODate), today.addDays(1).toString(Qt::ISODate)),
            120000);
        ASSERT_TRUE(r.finished);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.Printed("FleetLateTx").toStdString(), "1 of 3 late") << r.out.toStdString();
        EXPECT_TRUE(r.Printed("FleetLst[1]").startsWith("L1|127.1.0.1|"));
        EXPECT_TRUE(r.Printed("FleetLst[1]").endsWith("|300|600|OK"));
        EXPECT_TRUE(r.Printed("FleetLst[3]").startsWith("Silent|"));
        EXPECT_EQ(r.Printed("FleetStateTx").toStdString(), "Loaded 300 measurements");
        const QString book = console.Folder() + "/Data.xlsx";
        EXPECT_EQ(r.Printed("ExStatusTx").toStdString(),
                  QString("Saved %1: 300 rows").arg(book).toStdString());
        // Channel, logger time and range of every row against what L1 sent today.
        QStringList sent, filled;
        for (const QByteArray& line : DumpLines(dir.filePath("second.txt"), "127.1.0.1")) {
            const QList<QByteArray> f = line.split('\t');
            sent << QString("%1 %2 %3").arg(f[2], f[3], f[4]);
        }
        const auto sheets = ReadWorkbook(book);
        for (int channel = 1; channel <= 16; ++channel)
            for (const QString& row : sheets.value(QString("Channel_%1").arg(channel)).mid(2)) {
                const QStringList c = row.split('\t');
                filled << QString("%1 %2 %3")
                              .arg(channel)
                              .arg(c.value(6).replace(' ', 'T'), c.value(3));
            }
        sent.sort();
        filled.sort();
        EXPECT_EQ(sent.size(), 300);
        EXPECT_EQ(filled, sent);
    }

    // With no fleet configured the console makes no client: "Fleet..." asks for a database
    // (PGHOST names this test's server, so a client made anyway would connect to it).
    {
        ConsoleSandbox console;
        ASSERT_TRUE(console.Ok());
        console.SetArgs({"--no-archive"});
        const ConsoleResult r = console.Run("click FleetBtn\nwait 2000\nprint FleetStateTx\n"
                                            "print FleetLst\nquit\n");
        ASSERT_TRUE(r.finished);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.Printed("FleetStateTx").toStdString(),
                  "No fleet database: enter its connection and Connect");
        EXPECT_TRUE(r.Printed("FleetLst[1]").isNull()) << r.out.toStdString();
    }

    // A slow database does not stop the window: while the fleet's statement waits for a lock
    // the event loop goes on (a blocked UI thread would see the wait end by lock_timeout
    // before it could look).
    ASSERT_TRUE(db->Exec("BEGIN"));
    ASSERT_TRUE(db->Exec("LOCK TABLE logger IN ACCESS EXCLUSIVE MODE"));
    window.findChild<QLineEdit*>("FleetDbEd")
        ->setText("application_name=impix_fleet_slow options='-c lock_timeout=20s'");
    window.findChild<QPushButton*>("FleetConnectBtn")->click();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            // pg_locks, not pg_stat_activity: that one stays as it was in a transaction.
            auto n = db->Exec("SELECT count(*) FROM pg_locks WHERE NOT granted AND "
                              "relation = 'logger'::regclass");
            return n && n->Int(0, 0) == 1;
        },
        15000));
    const int waitingSince = ticks;
    QTest::qWait(100);
    EXPECT_GT(ticks, waitingSince);
    ASSERT_TRUE(db->Exec("COMMIT"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return stateTx->text() == "Connected"; }, 30000))
        << stateTx->text().toStdString();
    EXPECT_EQ(rows->rowCount(), 3);

    // The connection the operator chose is kept without its password.
    window.findChild<QLineEdit*>("FleetDbEd")->setText("host=/nonexistent password=secret");
    window.findChild<QPushButton*>("FleetConnectBtn")->click();
    EXPECT_EQ(kept.toStdString(), "host=/nonexistent password=secret");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return stateTx->text().startsWith("Not connected: "); }, 30000))
        << stateTx->text().toStdString();

    EXPECT_EQ(collector.Term(), 0);
}

TEST(Fleet, KeptConnectionHasNoPassword) {
    QTemporaryDir dir;
    const QString path = dir.filePath("fleet.conninfo");
    const struct {
        const char* chosen;
        const char* kept;
    } cases[] = {
        {"host=db user=ops password=secret dbname=fleet", "host=db user=ops dbname=fleet"},
        {"password = 'a b\\'c' host=db", "host=db"},
        {"postgresql://ops:secret@db/fleet?password=x&sslmode=require",
         "postgresql://ops@db/fleet?sslmode=require"},
        {"service=fleet", "service=fleet"},
        {"password=only", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaveFleetConninfo(path, c.chosen), "");
        EXPECT_EQ(ReadFleetConninfo(path).toStdString(), c.kept) << c.chosen;
        QFile f(path);
        EXPECT_FALSE(f.open(QIODevice::ReadOnly) && f.readAll().contains("secret")) << c.chosen;
    }
}
