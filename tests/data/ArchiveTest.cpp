// The measurement archive on real SQLite files: what a row holds and gives back, the
// `measurement` view, the restore offer after an unclean end, two consoles on one file, and the
// faults (full disk, read-only folder, a locked or damaged file) that the writer survives.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <sys/mount.h>

#include "BufferTestRecords.h"
#include "data/MeasurementArchive.h"
#include "data/Sqlite.h"
#include "support/ArchiveQuery.h"

namespace {

using buffertest::At;
using buffertest::Numbered;
using buffertest::Record;

ArchiveOptions Options(const QString& path) {
    ArchiveOptions o;
    o.path = path;
    o.retryMs = 100;
    o.batchMs = 20;
    o.busyTimeoutMs = 50;
    return o;
}

bool SameBytes(const TMeasRecord& a, const TMeasRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Waits (without a deadline that a slow machine could miss) until the state says so.
template <class F> bool WaitFor(MeasurementArchive& archive, F&& condition) {
    return QTest::qWaitFor([&] { return condition(archive.State()); }, 30000);
}

} // namespace

TEST(Archive, EveryRecordComesBackByteForByteAndReadsAsDisplayed) {
    QTemporaryDir dir;
    const QString path = dir.filePath("impix/archive.sqlite");
    TMeasRecord negativeZero = Record(5, 1, 2, 0, 12.5, 0.0, At(2026, 3, 4, 5, 6, 7));
    negativeZero.Xx = -0.0;
    TMeasRecord reportWithCounter = Record(77, 0, 0, 1, 1.0, 2.0, At(2026, 1, 1, 0, 0, 0));
    const struct {
        TMeasRecord rec;
        ArrivalSource source;
        const char* columns; // board|channel|range|rx|xx|counter|logger_time|has image
    } cases[] = {
        {Record(7, 0, 3, 1, 12345, 327680, At(2026, 2, 7, 9, 58, 23)), ArrivalSource::Live,
         "1|4|1|12345.0|327680.0|7|2026-02-07T09:58:23|0"},
        {Record(8, 7, 15, 2, OverflowValue, OverflowValue, At(2026, 12, 31, 23, 59, 59)),
         ArrivalSource::Download, "8|16|2|NULL|NULL|8|2026-12-31T23:59:59|0"},
        {Record(0, 2, 0, 0, 6553.5, -0.0123, At(2026, 1, 31, 0, 0, 0)), ArrivalSource::Report,
         "3|1|0|6553.5|-0.0123|NULL|2026-01-31T00:00:00|0"},
        {Numbered(9), ArrivalSource::Restored, "10|10|1|2.25|-1.125|1009|2026-10-10T09:09:03|0"},
        // What the columns cannot say is kept in the image.
        {negativeZero, ArrivalSource::Live, "2|3|0|12.5|0.0|5|2026-03-04T05:06:07|1"},
        {reportWithCounter, ArrivalSource::Report, "1|1|1|1.0|2.0|NULL|2026-01-01T00:00:00|1"},
        {Record(1, 0, 0, 0, std::nan(""), 1, At(2026, 1, 1, 0, 0, 0)), ArrivalSource::Live,
         "1|1|0|NULL|1.0|1|2026-01-01T00:00:00|1"},
        {Record(1, 0, 0, 0, 1, 1, At(2026, 1, 1, 0, 0, 0) + 0.5 / 86400000), ArrivalSource::Live,
         "1|1|0|1.0|1.0|1|2026-01-01T00:00:00|1"},
        {Record(1, 0, 0, 0, 1, 1, 1e9), ArrivalSource::Live, "1|1|0|1.0|1.0|1|NULL|1"},
        {Record(1, std::numeric_limits<int32_t>::max(), -1, 9, 1, 1, 0), ArrivalSource::Live,
         "2147483648|0|9|1.0|1.0|1|1899-12-30T00:00:00|0"},
    };
    int64_t session = 0;
    {
        MeasurementArchive archive(Options(path));
        for (const auto& c : cases)
            archive.Add(c.rec, c.source);
        ASSERT_TRUE(archive.Flush(30000));
        session = archive.SessionId();
        const std::vector<TMeasRecord> back = archive.LoadSession(session, false);
        ASSERT_EQ(back.size(), std::size(cases));
        for (size_t i = 0; i < back.size(); ++i)
            EXPECT_TRUE(SameBytes(back[i], cases[i].rec)) << "case " << i;
        EXPECT_EQ(ArchiveLabelText(archive.State()), "Archive: " + path);
    }
    const QStringList rows =
        Query(path, "SELECT board, channel, range, rx, xx, counter, logger_time, "
                    "image IS NOT NULL FROM arrival ORDER BY id");
    ASSERT_EQ(rows.size(), static_cast<int>(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(rows[static_cast<int>(i)], cases[i].columns) << "case " << i;
    EXPECT_EQ(Query(path, "SELECT source, count(*) FROM arrival_text GROUP BY source ORDER BY 1"),
              QStringList({"download|1", "live|6", "report|2", "restored|1"}));
    EXPECT_EQ(Query(path, "SELECT clean_end, ended_at IS NOT NULL, console_version, live, "
                          "download, report, restored FROM session"),
              QStringList{"1|1|3.2|6|1|2|1"});
    EXPECT_EQ(Query(path, "PRAGMA journal_mode"), QStringList{"wal"});
}

TEST(Archive, AnUncleanEndIsOfferedOnceWithTheBufferItHadAndTheViewCountsEachMeasurementOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    std::vector<TMeasRecord> shown; // what the crashed console's buffer held at the end
    int64_t crashed = 0;
    {
        MeasurementArchive archive(Options(path));
        // Items 0..3 measured live with a twin of item 4, items 0..4 downloaded, items 0..3
        // reported: six measurements. The buffer is cleared after the live ones.
        for (int k = 0; k < 4; ++k)
            archive.Add(Numbered(k), ArrivalSource::Live);
        // Another logger item alike in all but its counter is a measurement of its own.
        TMeasRecord twin = Numbered(4);
        twin.Counter = 9999;
        archive.Add(twin, ArrivalSource::Live);
        archive.BufferCleared();
        for (int k = 0; k < 5; ++k) {
            archive.Add(Numbered(k), ArrivalSource::Download);
            shown.push_back(Numbered(k));
        }
        for (int k = 0; k < 4; ++k) {
            TMeasRecord reported = Numbered(k);
            reported.Counter = 0;
            archive.Add(reported, ArrivalSource::Report);
            shown.push_back(reported);
        }
        archive.SetPort("COM2");
        archive.SetPeer("127.0.0.1");
        ASSERT_TRUE(archive.Flush(30000));
        crashed = archive.SessionId();
        archive.Abandon();
    }
    EXPECT_EQ(Query(path, "SELECT count(*), sum(counter IS NOT NULL), sum(live), sum(download), "
                          "sum(report) FROM measurement"),
              QStringList{"6|6|5|5|4"});
    EXPECT_EQ(Query(path, "SELECT board, channel, counter, arrivals FROM measurement "
                          "ORDER BY counter LIMIT 1"),
              QStringList{"1|1|1000|3"});

    // Two consoles start on the file; the first to ask gets the offer, once.
    MeasurementArchive second(Options(path));
    MeasurementArchive third(Options(path));
    const std::optional<UncleanSession> offer = second.PreviousUncleanSession();
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->id, crashed);
    EXPECT_EQ(offer->items, static_cast<int64_t>(shown.size()));
    EXPECT_GT(offer->lastReceivedMs, 0);
    const std::vector<TMeasRecord> restored = second.LoadSession(offer->id, true);
    ASSERT_EQ(restored.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(SameBytes(restored[i], shown[i])) << i;
    EXPECT_EQ(second.LoadSession(offer->id, false).size(), shown.size() + 5);
    second.MarkRestoreAsked(offer->id);
    EXPECT_FALSE(third.PreviousUncleanSession());

    // Both write at once, each into its own session.
    for (int k = 0; k < 3000; ++k) {
        second.Add(Numbered(k), ArrivalSource::Restored);
        third.Add(Numbered(k + 5000), ArrivalSource::Live);
    }
    ASSERT_TRUE(second.Flush(30000));
    ASSERT_TRUE(third.Flush(30000));
    EXPECT_EQ(second.State().reason, QString());
    EXPECT_EQ(third.State().reason, QString());
    const std::vector<SessionSummary> sessions = third.Sessions();
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_GT(sessions[0].id, sessions[1].id); // newest first
    auto find = [&](int64_t id) {
        for (const SessionSummary& s : sessions)
            if (s.id == id)
                return s;
        ADD_FAILURE() << "no session " << id;
        return SessionSummary{};
    };
    const SessionSummary mine = find(third.SessionId());
    const SessionSummary other = find(second.SessionId());
    const SessionSummary old = find(crashed);
    EXPECT_EQ(mine.arrivals[int(ArrivalSource::Live)], 3000);
    EXPECT_EQ(other.arrivals[int(ArrivalSource::Restored)], 3000);
    EXPECT_TRUE(mine.running);
    EXPECT_TRUE(other.running); // the other console, alive
    EXPECT_FALSE(old.running);
    EXPECT_FALSE(old.cleanEnd);
    EXPECT_EQ(old.measurements, 6);
    // Counted once the session ended, and kept; running ones are counted afresh each time.
    EXPECT_EQ(Query(path, "SELECT id, measurements FROM session WHERE measurements IS NOT NULL"),
              QStringList{QString("%1|6").arg(crashed)});
    EXPECT_EQ(mine.measurements, 3000);
    EXPECT_EQ(old.port, "COM2");
    EXPECT_EQ(old.peer, "127.0.0.1");
    EXPECT_EQ(old.arrivals[int(ArrivalSource::Download)], 5);
}

TEST(Archive, ALockedFileIsWaitedForAndAFullQueueIsCounted) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    ArchiveOptions options = Options(path);
    options.queueLimit = 100;
    options.holdBackAt = 10;
    MeasurementArchive archive(options);
    ASSERT_TRUE(archive.Flush(30000));

    SqliteDb holder;
    holder.Open(path, false);
    holder.Exec("BEGIN EXCLUSIVE");
    for (int k = 0; k < 150; ++k)
        archive.Add(Numbered(k), ArrivalSource::Live);
    ASSERT_TRUE(WaitFor(archive, [](const ArchiveState& s) { return !s.reason.isEmpty(); }));
    const ArchiveState locked = archive.State();
    EXPECT_EQ(locked.reason, "database is locked");
    // Nobody waits for a writer that cannot write.
    EXPECT_FALSE(archive.Behind());
    EXPECT_EQ(locked.dropped, 50);
    EXPECT_EQ(ArchiveLabelText(locked),
              "Archive: not written: database is locked (150 not archived)");

    holder.Exec("COMMIT");
    ASSERT_TRUE(archive.Flush(30000));
    EXPECT_EQ(archive.State().reason, QString());
    EXPECT_EQ(ArchiveLabelText(archive.State()), "Archive: " + path + " (50 not archived)");
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).size(), 100u);
}

TEST(Archive, AWriterBehindAsksForAPauseAndWritesEverything) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    ArchiveOptions options = Options(path);
    options.holdBackAt = 100;
    options.busyTimeoutMs = 600000;
    options.stuckMs = 600000;
    // Only the first arrival is due at once: the others are written because enough wait.
    options.batchMs = 600000;
    MeasurementArchive archive(options);
    archive.Add(Numbered(0), ArrivalSource::Report);
    ASSERT_TRUE(archive.Flush(30000));
    // Another connection's write lock stands for a slow disk: the writer takes the next batch
    // at once (enough are waiting) and then waits for the lock.
    SqliteDb other;
    other.Open(path, false);
    other.Exec("BEGIN IMMEDIATE");
    std::vector<TMeasRecord> records;
    for (int k = 1; k <= 200; ++k)
        records.push_back(Numbered(k));
    archive.Add(std::span(records).first(100), ArrivalSource::Report);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !archive.Behind(); }, 30000));
    archive.Add(std::span(records).subspan(100, 99), ArrivalSource::Report);
    EXPECT_FALSE(archive.Behind());
    archive.Add(std::span(records).subspan(199), ArrivalSource::Report);
    EXPECT_TRUE(archive.Behind());
    other.Exec("ROLLBACK");
    ASSERT_TRUE(archive.Flush(30000));
    EXPECT_FALSE(archive.Behind());
    EXPECT_EQ(archive.State().dropped, 0);
    const std::vector<TMeasRecord> written = archive.LoadSession(archive.SessionId(), false);
    ASSERT_EQ(written.size(), 201u);
    for (int k = 0; k <= 200; ++k)
        EXPECT_TRUE(SameBytes(written[static_cast<size_t>(k)], Numbered(k))) << k;
}

// The WAL is copied back by the second thread (every commit wakes it here) or, at the cap, by
// the writer (the second thread never woken here): either way nothing is lost, the WAL stays
// short under a stream of commits, and a clean close leaves one complete file. A reader holding
// an old snapshot (a user's long query) does not stall the writer at the cap.
TEST(Archive, TheWalStaysShortAndEveryArrivalReachesTheDatabase) {
    const struct {
        int start, cap;
        bool reader;
    } cases[] = {{1, 1 << 30, false}, {1 << 30, 64, false}, {1 << 30, 64, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cap + c.reader);
        QTemporaryDir dir;
        const QString path = dir.filePath("archive.sqlite");
        ArchiveOptions options = Options(path);
        options.walStartFrames = c.start;
        options.walCapFrames = c.cap;
        options.busyTimeoutMs = 600000;
        const int chunks = 40, perChunk = 500; // about 20 pages a commit
        int64_t session = 0;
        qint64 longestWal = 0;
        {
            MeasurementArchive archive(options);
            ASSERT_TRUE(archive.Flush(30000));
            SqliteDb reader;
            std::optional<SqliteStatement> query;
            if (c.reader) {
                reader.Open(path, false);
                query = reader.Prepare("SELECT id FROM session");
                ASSERT_TRUE(query->Step()); // its read transaction stays open
            }
            for (int k = 0; k < chunks * perChunk; ++k) {
                archive.Add(Numbered(k), ArrivalSource::Download);
                if (k % perChunk == perChunk - 1) {
                    ASSERT_TRUE(archive.Flush(30000));
                    longestWal = std::max(longestWal, QFileInfo(path + "-wal").size());
                }
            }
            session = archive.SessionId();
        }
        if (c.cap == 64 && !c.reader) {
            EXPECT_LE(longestWal, (64 + 40) * 4120 + 32);
        }
        EXPECT_FALSE(QFile::exists(path + "-wal"));
        EXPECT_EQ(Query(path, "PRAGMA integrity_check"), QStringList{"ok"});
        MeasurementArchive reopened(Options(path));
        const std::vector<TMeasRecord> written = reopened.LoadSession(session, false);
        ASSERT_EQ(written.size(), size_t(chunks * perChunk));
        for (int k = 0; k < chunks * perChunk; k += 997)
            EXPECT_TRUE(SameBytes(written[static_cast<size_t>(k)], Numbered(k))) << k;
    }
}

TEST(Archive, ADamagedFileIsMovedAsideAndANewOneStarted) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    const QByteArray garbage = QByteArray("not a database at all ").repeated(300);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    QStringList messages;
    std::mutex m;
    ArchiveOptions options = Options(path);
    options.onMessage = [&](const QString& text) {
        std::lock_guard l(m);
        messages << text;
    };
    MeasurementArchive archive(options);
    archive.Add(Numbered(1), ArrivalSource::Live);
    ASSERT_TRUE(archive.Flush(30000));
    const QStringList aside = QDir(dir.path()).entryList({"archive.sqlite.damaged-*"});
    ASSERT_EQ(aside.size(), 1);
    QFile old(dir.filePath(aside[0]));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), garbage);
    std::lock_guard l(m);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "The archive " + path + " was damaged. It was moved to " +
                               dir.filePath(aside[0]) + " and a new archive was started.");
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).size(), 1u);

    // Another program's database is left alone and not written.
    const QString foreign = dir.filePath("foreign.sqlite");
    SqliteDb other;
    other.Open(foreign, true);
    other.Exec("CREATE TABLE mine (x)");
    MeasurementArchive refused(Options(foreign));
    ASSERT_TRUE(WaitFor(refused, [](const ArchiveState& s) { return !s.reason.isEmpty(); }));
    EXPECT_EQ(refused.State().reason, "not a measurement archive");
    EXPECT_EQ(Query(foreign, "SELECT name FROM sqlite_schema"), QStringList{"mine"});
}

// Full disk and read-only folder on a small file system of the test's own.
class ArchiveOnSmallDisk : public testing::Test {
protected:
    void SetUp() override {
        folder_ = dir_.filePath("disk");
        ASSERT_TRUE(QDir(dir_.path()).mkdir("disk"));
        mountPoint_ = QFile::encodeName(folder_);
    }
    void TearDown() override {
        if (mounted_)
            umount2(mountPoint_.constData(), MNT_DETACH);
    }
    bool Mount(unsigned long flags, const char* options) {
        mounted_ = mount("tmpfs", mountPoint_.constData(), "tmpfs", flags, options) == 0;
        return mounted_;
    }
    bool Remount(unsigned long flags, const char* options) {
        return mount("tmpfs", mountPoint_.constData(), "tmpfs", MS_REMOUNT | flags, options) == 0;
    }
    QString Path() const { return folder_ + "/impix/archive.sqlite"; }

    QTemporaryDir dir_;
    QString folder_;
    QByteArray mountPoint_;
    bool mounted_ = false;
};

TEST_F(ArchiveOnSmallDisk, AFullDiskIsNamedAndTheQueueCatchesUpWhenThereIsRoom) {
    if (!Mount(0, "size=256k"))
        GTEST_SKIP() << "mounting a small tmpfs needs privileges this run lacks";
    MeasurementArchive archive(Options(Path()));
    const int n = 20000; // more than 256 KiB of rows
    for (int k = 0; k < n; ++k)
        archive.Add(Numbered(k), ArrivalSource::Report);
    ASSERT_TRUE(WaitFor(archive, [](const ArchiveState& s) { return !s.reason.isEmpty(); }));
    const ArchiveState full = archive.State();
    EXPECT_TRUE(full.reason.startsWith("database or disk is full")) << full.reason.toStdString();
    EXPECT_GT(full.waiting, 0);
    EXPECT_TRUE(
        ArchiveLabelText(full).startsWith("Archive: not written: database or disk is full"));

    ASSERT_TRUE(Remount(0, "size=16m"));
    ASSERT_TRUE(archive.Flush(60000));
    const ArchiveState after = archive.State();
    EXPECT_EQ(after.reason, QString());
    EXPECT_EQ(after.archived, n);
    EXPECT_EQ(after.dropped, 0);
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).size(), size_t(n));
}

TEST_F(ArchiveOnSmallDisk, AReadOnlyFolderIsNamedAndWrittenOnceItIsWritable) {
    if (!Mount(MS_RDONLY, "size=4m"))
        GTEST_SKIP() << "mounting a small tmpfs needs privileges this run lacks";
    MeasurementArchive archive(Options(Path()));
    for (int k = 0; k < 10; ++k)
        archive.Add(Numbered(k), ArrivalSource::Live);
    ASSERT_TRUE(WaitFor(archive, [](const ArchiveState& s) { return !s.reason.isEmpty(); }));
    const QString reason = "cannot create folder " + folder_ + "/impix: Read-only file system";
    EXPECT_EQ(archive.State().reason, reason);
    EXPECT_EQ(ArchiveLabelText(archive.State()),
              "Archive: not written: " + reason + " (10 not archived)");

    ASSERT_TRUE(Remount(0, "size=4m"));
    ASSERT_TRUE(archive.Flush(60000));
    EXPECT_EQ(archive.State().reason, QString());
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).size(), 10u);
}
