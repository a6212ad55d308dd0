// A large session read on two connections: its records in id order with another session's
// arrivals between them, handed on in slices a put-back takes; a cancel stops it after the slice
// that asked; a failing second connection fails the read instead of leaving holes.
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "archive/ArchiveSchema.h"
#include "archive/ArchiveSessions.h"
#include "sqlite/Sqlite.h"

namespace {

// An empty archive in a folder of its own.
struct ArchiveFile {
    QTemporaryDir dir;
    QString path = dir.filePath("archive.sqlite");
    SqliteDb db;
    ArchiveFile() {
        EXPECT_TRUE(db.TryOpen(path, true));
        EXPECT_TRUE(PrepareArchiveSchema(db));
    }
};

// Opens another connection to `file` for reading.
OpenConnection ReaderOf(const QString& file) {
    return [file] {
        SqliteDb other;
        return other.TryOpenReadOnly(file).map([&] { return std::move(other); });
    };
}

} // namespace

TEST(ArrivalRecords, ALargeSessionReadOnTwoConnectionsComesInOrder) {
    ArchiveFile archive;
    SqliteDb& db = archive.db;
    // Ids 1..n; every third arrival is the other session's. The first and last ids are ours.
    constexpr int64_t n = 300001;
    ASSERT_TRUE(db.TryExec(
        "INSERT INTO session (id, started_at, console_version) VALUES (1, 'a', 'v'), (2, 'b', 'v');"
        "WITH RECURSIVE k(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM k WHERE x < " +
        std::to_string(n) +
        ") INSERT INTO arrival (id, session, source, received_ms, board, channel, range, rx, xx, "
        "counter, logger_time) SELECT x, 1 + (x % 3 = 0), 1, x, 1 + x % 8, 1 + x % 16, x % 4, "
        "x * 0.5, -0.25 * x, x, '2026-12-10T12:00:00' FROM k;"
        "UPDATE session SET first_arrival = (SELECT min(id) FROM arrival WHERE session = "
        "session.id), last_arrival = (SELECT max(id) FROM arrival WHERE session = session.id);"));
    std::vector<int32_t> expected;
    for (int64_t x = 1; x <= n; ++x)
        if (x % 3 != 0)
            expected.push_back(int32_t(x));
    const OpenConnection second = ReaderOf(archive.path);
    // A copy whose pages are overwritten from the middle on: the second connection fails midway.
    ASSERT_TRUE(db.TryExec("PRAGMA wal_checkpoint(TRUNCATE)"));
    const QString cut = archive.dir.filePath("cut.sqlite");
    ASSERT_TRUE(QFile::copy(archive.path, cut));
    QFile damaged(cut);
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    ASSERT_TRUE(damaged.seek(damaged.size() / 2));
    damaged.write(QByteArray(int(damaged.size() / 2), '\xff'));
    damaged.close();
    const OpenConnection failing = ReaderOf(cut);
    struct Case {
        const char* name;
        OpenConnection another;
        bool cancelAfterFirst;
        bool fails;
    };
    for (const Case& c :
         {Case{"two", second, false, false}, Case{"one", {}, false, false},
          Case{"cancelled", second, true, false}, Case{"second fails", failing, false, true}}) {
        SCOPED_TRACE(c.name);
        WorkProgress progress;
        std::vector<int32_t> counters;
        size_t slices = 0, largest = 0;
        const auto read = LoadSessionRecords(
            db, 1, false, false, &progress,
            [&](std::vector<TMeasRecord>&& slice) {
                ++slices;
                largest = std::max(largest, slice.size());
                for (const TMeasRecord& r : slice)
                    counters.push_back(r.Counter);
                if (c.cancelAfterFirst)
                    progress.cancel = true;
            },
            c.another);
        ASSERT_EQ(read.has_value(), !c.fails);
        if (c.fails)
            continue;
        EXPECT_TRUE(read->empty()); // all went to the slices
        EXPECT_LE(largest, 32768u);
        if (c.cancelAfterFirst)
            EXPECT_EQ(slices, 1u);
        else
            EXPECT_EQ(counters.size(), expected.size());
        EXPECT_EQ(progress.done.load(), int64_t(counters.size()));
        EXPECT_TRUE(std::equal(counters.begin(), counters.end(), expected.begin()));
    }
}

// Bounds as far apart as integers go, and an id at the largest, as a file not written by a
// console may hold them: read whole, in order, at once.
TEST(ArrivalRecords, BoundsAtTheEndsOfTheIntegersAreRead) {
    ArchiveFile archive;
    SqliteDb& db = archive.db;
    ASSERT_TRUE(db.TryExec(
        "INSERT INTO session (id, started_at, console_version, first_arrival, last_arrival) "
        "VALUES (1, 'a', 'v', -9223372036854775808, 9223372036854775807);"
        "INSERT INTO arrival (id, session, source, received_ms, board, channel, range, counter) "
        "VALUES (-5, 1, 1, 0, 1, 1, 0, 1), (9223372036854775807, 1, 1, 0, 1, 1, 0, 2)"));
    for (const bool salvage : {false, true}) {
        std::vector<int32_t> counters;
        const auto read = LoadSessionRecords(
            db, 1, false, salvage, nullptr,
            [&](std::vector<TMeasRecord>&& slice) {
                for (const TMeasRecord& r : slice)
                    counters.push_back(r.Counter);
            },
            ReaderOf(archive.path));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(counters, (std::vector<int32_t>{1, 2}));
    }
}
