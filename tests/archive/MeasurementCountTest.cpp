// The measurement count against the view it stands for, on arrivals written as SQL may hold
// them: twins in all but the counter, reported items without one, two sessions interleaved,
// and values of other storage classes than the console writes.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <string>

#include "archive/ArchiveSchema.h"
#include "archive/MeasurementCount.h"
#include "sqlite/Sqlite.h"

namespace {

int64_t Scalar(SqliteDb& db, const std::string& sql) {
    SqliteStatement s = db.TryPrepare(sql).value();
    EXPECT_TRUE(s.TryStep().value()) << sql;
    return s.Int(0);
}

} // namespace

TEST(MeasurementCount, CountsTheGroupsOfTheMeasurementView) {
    QTemporaryDir dir;
    SqliteDb db;
    ASSERT_TRUE(db.TryOpen(dir.filePath("archive.sqlite"), true));
    ASSERT_TRUE(PrepareArchiveSchema(db));
    ASSERT_TRUE(db.TryExec("INSERT INTO session (id, started_at, console_version) "
                           "VALUES (1, 'a', 'v'), (2, 'b', 'v'), (3, 'c', 'v')"));
    SqliteStatement add =
        db.TryPrepare("INSERT INTO arrival (session, source, received_ms, board, channel, range, "
                      "rx, xx, counter, logger_time) VALUES (?1, 2, 0, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
            .value();
    // Few distinct values, so that groups, twins and repeated counters are common.
    std::mt19937 random(7);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const char* times[] = {"2026-12-01 10:00:00", "2026-12-01 10:00:01", "01.12.2026 10:00"};
    ASSERT_TRUE(db.TryExec("BEGIN"));
    for (int k = 0; k < 4000; ++k) {
        add.Bind(1, int64_t(1 + pick(2)));
        add.Bind(2, int64_t(1 + pick(2)));
        add.Bind(3, int64_t(1 + pick(3)));
        add.Bind(4, int64_t(pick(2)));
        if (const int rx = pick(4); rx == 3)
            add.BindNull(5);
        else
            add.Bind(5, 100.0 + rx);
        add.Bind(6, -0.5 * pick(2));
        if (const int counter = pick(6); counter < 2)
            add.BindNull(7);
        else
            add.Bind(7, int64_t(counter));
        add.Bind(8, std::string_view(times[pick(3)]));
        ASSERT_TRUE(add.TryRun());
    }
    // Alike or not as SQL compares them: an integral real and its integer are one value, text
    // and a blob of the same bytes are two, and a counter need not be an integer.
    ASSERT_TRUE(db.TryExec(R"sql(
        INSERT INTO arrival (session, source, received_ms, board, channel, range, rx, xx, counter,
                             logger_time) VALUES
            (1, 2, 0, 1.5, 1, 0, 0.0, 1, NULL, 't'), (1, 2, 0, 1.5, 1, 0, -0.0, 1.0, NULL, 't'),
            (1, 2, 0, 1, 1, 0, 1, 1, NULL, x'74'), (1, 2, 0, 1, 1, 0, 1, 1, 2.5, 't'),
            (1, 2, 0, 1, 1, 0, 1, 1, 'x', 't'), (1, 2, 0, 1, 1, 0, 1, 1, 'x', 't'),
            (1, 2, 0, 1, 1, 0, 1, 1, 3.0, 't'), (1, 2, 0, 1, 1, 0, 1, 1, 3, 't');
        COMMIT;
        UPDATE session SET first_arrival = (SELECT min(id) FROM arrival WHERE arrival.session = session.id),
                           last_arrival = (SELECT max(id) FROM arrival WHERE arrival.session = session.id);
    )sql"));
    for (const int64_t keysPerPass : {KeysPerCountPass, int64_t(7)}) {
        for (const int64_t session : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(keysPerPass) + " " + std::to_string(session));
            const int64_t expected =
                Scalar(db, "SELECT count(*) FROM (" +
                               MeasurementsOf("(SELECT * FROM arrival WHERE session = " +
                                              std::to_string(session) + ")") +
                               ")");
            EXPECT_EQ(CountMeasurements(db, session, keysPerPass).value(), expected);
            if (session != 3) {
                EXPECT_GT(expected, 100);
            }
        }
    }
}
