// The measurement archive on real SQLite files: what a row holds and gives back, the
// `measurement` view, the restore offer after an unclean end, two consoles on one file, and the
// faults (full disk, read-only folder, a locked or damaged file) that the writer survives.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>

#include "archive/MeasurementArchive.h"
#include "buffer/BufferTestRecords.h"
#include "buffer/RecordStream.h"
#include "sqlite/Sqlite.h"
#include "support/ArchiveQuery.h"
#include "support/TestFiles.h"

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
        {Record(0, 1, 2, 3, 1.5, OverflowValue, At(2026, 5, 6, 7, 8, 9)), ArrivalSource::Fleet,
         "2|3|3|1.5|NULL|NULL|2026-05-06T07:08:09|0"},
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
    // Twelve rounds: many rows to a statement, each parameter given the other cases' values in
    // turn (what it held is not bound again).
    constexpr size_t rounds = 12, n = std::size(cases);
    int64_t session = 0;
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    {
        MeasurementArchive archive(Options(path));
        for (size_t round = 0; round < rounds; ++round) {
            for (const auto& c : cases)
                archive.Add(c.rec, c.source);
        }
        ASSERT_TRUE(archive.Flush(30000));
        session = archive.SessionId();
        const std::vector<TMeasRecord> back = archive.LoadSession(session, false).value();
        ASSERT_EQ(back.size(), rounds * n);
        for (size_t i = 0; i < back.size(); ++i)
            EXPECT_TRUE(SameBytes(back[i], cases[i % n].rec)) << "row " << i;
        EXPECT_EQ(ArchiveLabelText(archive.State()), "Archive: " + path);
    }
    const QStringList rows =
        Query(path, "SELECT board, channel, range, rx, xx, counter, logger_time, "
                    "image IS NOT NULL FROM arrival ORDER BY id");
    ASSERT_EQ(rows.size(), static_cast<int>(rounds * n));
    for (size_t i = 0; i < rounds * n; ++i)
        EXPECT_EQ(rows[static_cast<int>(i)], cases[i % n].columns) << "row " << i;
    EXPECT_EQ(Query(path, "SELECT source, count(*) FROM arrival_text GROUP BY source ORDER BY 1"),
              QStringList({"download|12", "fleet|12", "live|72", "report|24", "restored|12"}));
    EXPECT_EQ(Query(path, "SELECT clean_end, ended_at IS NOT NULL, console_version, live, "
                          "download, report, restored, fleet FROM session"),
              QStringList{"1|1|3.2|72|12|24|12|12"});
    EXPECT_EQ(Query(path, "PRAGMA journal_mode"), QStringList{"wal"});
    const QStringList received =
        Query(path, "SELECT min(received_ms), max(received_ms) FROM arrival").value(0).split('|');
    EXPECT_GE(received.value(0).toLongLong(), before);
    EXPECT_LE(received.value(1).toLongLong(), QDateTime::currentMSecsSinceEpoch());
}

TEST(Archive, ArrivalTimesAreMillisecondsSinceTheEpochThatDoNotWrap) {
    using std::chrono::milliseconds;
    const int64_t start = 1796000000000; // 2026-11-30
    const struct {
        std::chrono::steady_clock::duration since;
        int64_t expected;
    } cases[] = {
        {milliseconds(0), start},
        {milliseconds((int64_t{1} << 32) - 1), start + (int64_t{1} << 32) - 1},
        {milliseconds((int64_t{1} << 32) + 5), start + (int64_t{1} << 32) + 5}, // 49.7 days
        {std::chrono::hours(24 * 3650), start + int64_t{3650} * 86400000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArrivalWallMs(start, c.since), c.expected);
}

// Counters 1000..1009 asked for; what arrived comes back after a crash, and what arrives after
// the restart counts in the same download, through a second crash.
TEST(Archive, ADownloadComesBackWithWhatArrivedThroughTwoCrashes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    {
        MeasurementArchive first(Options(path));
        first.Add(Numbered(4), ArrivalSource::Download); // before it started: not counted
        first.DownloadStarted({1000, 10, {}});
        for (int k : {0, 1, 2, 3, 5})
            first.Add(Numbered(k), ArrivalSource::Download);
        first.Add(Numbered(6), ArrivalSource::Live); // no download arrival
        ASSERT_TRUE(first.Flush(30000));
        first.Abandon();
    }
    {
        MeasurementArchive second(Options(path));
        const std::vector<UncleanSession> offers = second.UncleanSessions().value();
        ASSERT_EQ(offers.size(), 1u);
        const std::optional<DownloadState> download = second.Restore(offers[0]).value().download;
        ASSERT_TRUE(download);
        EXPECT_EQ(download->first, 1000);
        EXPECT_EQ(download->amount, 10);
        EXPECT_EQ(download->arrived, (std::vector<CounterSpan>{{1000, 4}, {1005, 1}}));
        second.DownloadStarted(*download);
        second.Add(Numbered(7), ArrivalSource::Download);
        ASSERT_TRUE(second.Flush(30000));
        second.Abandon();
    }
    MeasurementArchive third(Options(path));
    const std::vector<UncleanSession> offers = third.UncleanSessions().value();
    ASSERT_EQ(offers.size(), 1u);
    const std::optional<DownloadState> download = third.Restore(offers[0]).value().download;
    ASSERT_TRUE(download);
    DownloadTracker tracker;
    tracker.Restore(download->first, download->amount, download->arrived, 0);
    EXPECT_EQ(tracker.Received(), 6);
    EXPECT_TRUE(tracker.Running()); // what the logger still sends counts in it
    EXPECT_TRUE(tracker.Check(DownloadTracker::StallMs));
    EXPECT_EQ(tracker.Missing(), (std::vector<CounterSpan>{{1004, 1}, {1006, 1}, {1008, 2}}));
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

    // A console closed cleanly after it, and one ended by SIGHUP (whose buffer was not saved):
    // neither hides the crash, and the one ended by the signal is offered too.
    { MeasurementArchive clean(Options(path)); }
    int64_t signalled = 0;
    {
        MeasurementArchive ended(Options(path));
        ended.Add(Numbered(7), ArrivalSource::Live);
        ended.EndBySignal(SIGHUP);
        ASSERT_TRUE(ended.Flush(30000));
        signalled = ended.SessionId();
    }
    EXPECT_EQ(Query(path, "SELECT clean_end, ended_at IS NOT NULL, end_signal FROM session"),
              QStringList({"0|0|NULL", "1|1|NULL", "0|1|1"}));

    // Two consoles start on the file; the first to ask gets the offers, once.
    MeasurementArchive second(Options(path));
    // Its counts wait for the test, as a long count would.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ArchiveOptions heldCounts = Options(path);
    std::atomic<int> countsMade = 0;
    heldCounts.beforeCount = [released, &countsMade](int64_t) {
        ++countsMade;
        released.wait();
    };
    MeasurementArchive third(std::move(heldCounts));
    const std::vector<UncleanSession> offers = second.UncleanSessions().value();
    ASSERT_EQ(offers.size(), 2u);
    const UncleanSession& offer = offers[0]; // the oldest first
    EXPECT_EQ(offer.id, crashed);
    EXPECT_EQ(offer.items, static_cast<int64_t>(shown.size()));
    EXPECT_GT(offer.lastReceivedMs, 0);
    EXPECT_EQ(offer.endSignal, 0);
    EXPECT_EQ(offers[1].id, signalled);
    EXPECT_EQ(offers[1].items, 1);
    EXPECT_EQ(offers[1].endSignal, SIGHUP);
    EXPECT_EQ(second.LoadSession(offer.id, false).value().size(), shown.size() + 5);
    const std::vector<TMeasRecord> restored = second.Restore(offer).value().records;
    ASSERT_EQ(restored.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(SameBytes(restored[i], shown[i])) << i;
    second.MarkRestoreAsked(offers[1]);
    EXPECT_TRUE(second.UncleanSessions().value().empty());
    ASSERT_TRUE(second.Flush(30000)); // the answers are written
    EXPECT_TRUE(third.UncleanSessions().value().empty());

    // Both write at once, each into its own session.
    for (int k = 0; k < 3000; ++k) {
        second.Add(Numbered(k), ArrivalSource::Restored);
        third.Add(Numbered(k + 5000), ArrivalSource::Live);
    }
    ASSERT_TRUE(second.Flush(30000));
    ASSERT_TRUE(third.Flush(30000));
    EXPECT_EQ(second.State().reason, QString());
    EXPECT_EQ(third.State().reason, QString());
    // The list comes at once while the counts are held back, and the writer goes on writing.
    std::vector<SessionSummary> sessions = third.Sessions().value();
    ASSERT_EQ(sessions.size(), 5u);
    std::vector<std::future<int64_t>> counts;
    for (const SessionSummary& s : sessions) {
        EXPECT_TRUE(s.counting) << s.id;
        auto count = std::make_shared<std::promise<int64_t>>();
        counts.push_back(count->get_future());
        third.CountMeasurements(s, [count](int64_t n) { count->set_value(n); });
    }
    // History opened again while they run: an ended session is counted once all the same.
    std::vector<std::future<int64_t>> asked;
    int running = 0;
    for (const SessionSummary& s : sessions) {
        running += s.running ? 1 : 0;
        auto count = std::make_shared<std::promise<int64_t>>();
        asked.push_back(count->get_future());
        third.CountMeasurements(s, [count](int64_t n) { count->set_value(n); });
    }
    third.Add(Numbered(9000), ArrivalSource::Live);
    ASSERT_TRUE(third.Flush(30000));
    EXPECT_EQ(third.Sessions().value().size(), 5u);
    release.set_value();
    for (size_t i = 0; i < sessions.size(); ++i) {
        sessions[i].measurements = counts[i].get();
        sessions[i].counting = false;
        if (!sessions[i].running) {
            EXPECT_EQ(asked[i].get(), sessions[i].measurements) << sessions[i].id;
        }
    }
    EXPECT_EQ(countsMade, int(sessions.size()) + running);
    ASSERT_TRUE(third.Flush(30000));           // the counts it was given to keep are written
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
    EXPECT_FALSE(find(signalled).running);
    EXPECT_EQ(find(signalled).endSignal, SIGHUP);
    // Counted once the session ended, and kept; running ones are counted afresh each time.
    EXPECT_EQ(Query(path, "SELECT measurements FROM session WHERE measurements IS NOT NULL"),
              QStringList({"6", "0", "1"}));
    EXPECT_EQ(mine.measurements, 3001); // with the one written while the count was held
    const std::vector<SessionSummary> again = third.Sessions().value();
    for (const SessionSummary& s : again)
        EXPECT_EQ(s.counting, s.running) << s.id;
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
    ASSERT_TRUE(holder.TryOpen(path, false));
    ASSERT_TRUE(holder.TryExec("BEGIN EXCLUSIVE"));
    for (int k = 0; k < 150; ++k)
        archive.Add(Numbered(k), ArrivalSource::Live);
    ASSERT_TRUE(WaitFor(archive, [](const ArchiveState& s) { return !s.reason.isEmpty(); }));
    const ArchiveState locked = archive.State();
    EXPECT_EQ(locked.reason, "archive busy: another program holds it locked; retrying");
    // Nobody waits for a writer that cannot write.
    EXPECT_FALSE(archive.Behind());
    EXPECT_EQ(locked.dropped, 50);
    EXPECT_EQ(ArchiveLabelText(locked),
              "Archive: not written: archive busy: another program holds it locked; retrying "
              "(150 not archived)");

    ASSERT_TRUE(holder.TryExec("COMMIT"));
    ASSERT_TRUE(archive.Flush(30000));
    EXPECT_EQ(archive.State().reason, QString());
    EXPECT_EQ(ArchiveLabelText(archive.State()), "Archive: " + path + " (50 not archived)");
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).value().size(), 100u);
}

// The restore offer is read, and answered, while the writer waits for another program's lock:
// nothing the window asks at start-up waits for the writer.
TEST(Archive, TheRestoreOfferIsReadAndAnsweredWhileTheWriterWaitsForALock) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    {
        MeasurementArchive crashed(Options(path));
        crashed.Add(Numbered(1), ArrivalSource::Live);
        ASSERT_TRUE(crashed.Flush(30000));
        crashed.Abandon();
    }
    ArchiveOptions patient = Options(path);
    patient.busyTimeoutMs = 600000; // the writer would keep the window waiting for this long
    MeasurementArchive archive(patient);
    ASSERT_TRUE(archive.WaitOpen(30000));
    SqliteDb holder;
    ASSERT_TRUE(holder.TryOpen(path, false));
    ASSERT_TRUE(holder.TryExec("BEGIN EXCLUSIVE"));
    archive.Add(Numbered(2), ArrivalSource::Live);
    QTest::qWait(200); // the writer is in its batch, waiting for the lock
    const std::vector<UncleanSession> offers = archive.UncleanSessions().value();
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].items, 1);
    archive.MarkRestoreAsked(offers[0]);
    EXPECT_TRUE(archive.UncleanSessions().value().empty());
    ASSERT_TRUE(holder.TryExec("COMMIT"));
    ASSERT_TRUE(archive.Flush(30000)); // the answer is written once the lock is let go
    MeasurementArchive next(Options(path));
    ASSERT_TRUE(next.WaitOpen(30000));
    EXPECT_TRUE(next.UncleanSessions().value().empty());
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
    ASSERT_TRUE(other.TryOpen(path, false));
    ASSERT_TRUE(other.TryExec("BEGIN IMMEDIATE"));
    std::vector<TMeasRecord> records;
    for (int k = 1; k <= 200; ++k)
        records.push_back(Numbered(k));
    archive.Add(std::span(records).first(100), ArrivalSource::Report);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !archive.Behind(); }, 30000));
    archive.Add(std::span(records).subspan(100, 99), ArrivalSource::Report);
    EXPECT_FALSE(archive.Behind());
    archive.Add(std::span(records).subspan(199), ArrivalSource::Report);
    EXPECT_TRUE(archive.Behind());
    ASSERT_TRUE(other.TryExec("ROLLBACK"));
    ASSERT_TRUE(archive.Flush(30000));
    EXPECT_FALSE(archive.Behind());
    EXPECT_EQ(archive.State().dropped, 0);
    const std::vector<TMeasRecord> written =
        archive.LoadSession(archive.SessionId(), false).value();
    ASSERT_EQ(written.size(), 201u);
    for (int k = 0; k <= 200; ++k)
        EXPECT_TRUE(SameBytes(written[static_cast<size_t>(k)], Numbered(k))) << k;
}

// A load on another thread counts what it read, and a cancelled one gives nothing. A restore
// cancelled midway keeps the slices it put back, leaves the download out, and is not offered
// again.
TEST(Archive, ALoadCountsItsProgressAndStopsWhenCancelled) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    const int n = 40000; // past a slice of a put-back
    {
        MeasurementArchive archive(Options(path));
        archive.DownloadStarted(DownloadState{1, n, {}});
        for (int k = 0; k < n; ++k)
            archive.Add(Numbered(k), ArrivalSource::Download);
        ASSERT_TRUE(archive.Flush(30000));
        WorkProgress progress;
        EXPECT_EQ(archive.LoadSession(archive.SessionId(), false, &progress).value().size(),
                  size_t(n));
        EXPECT_EQ(progress.done.load(), n);
        progress.cancel = true;
        EXPECT_TRUE(archive.LoadSession(archive.SessionId(), false, &progress).value().empty());
        archive.Abandon();
    }
    MeasurementArchive again(Options(path));
    const std::vector<UncleanSession> offers = again.UncleanSessions().value();
    ASSERT_EQ(offers.size(), 1u);
    WorkProgress progress;
    std::vector<size_t> slices;
    const RestoredSession cancelled = again
                                          .Restore(
                                              offers[0],
                                              [&](std::vector<TMeasRecord>&& slice) {
                                                  slices.push_back(slice.size());
                                                  progress.cancel =
                                                      true; // the operator, after the first slice
                                              },
                                              &progress)
                                          .value();
    EXPECT_EQ(slices, std::vector<size_t>{32768});
    EXPECT_TRUE(cancelled.records.empty());
    EXPECT_FALSE(cancelled.download);
    const RestoredSession whole = again.Restore(offers[0]).value();
    EXPECT_EQ(whole.records.size(), size_t(n));
    EXPECT_TRUE(whole.download);
    EXPECT_TRUE(again.UncleanSessions().value().empty());
}

// Records handed over as a snapshot of the buffer come back byte for byte, also after the buffer
// was cleared; a count asked for while the archive steps back for a put-back, or while the
// writer has a backlog to work off, waits for it.
TEST(Archive, ASnapshotIsWrittenWholeAndACountWaitsWhileTheArchiveStepsBack) {
    QTemporaryDir dir;
    ArchiveOptions options = Options(dir.filePath("archive.sqlite"));
    options.holdBackAt = 100;
    options.busyTimeoutMs = options.stuckMs = 600000; // another's lock is waited for
    MeasurementArchive archive(options);
    constexpr int n = 30000; // past the count's first look at whether to pause
    RecordStream buffer;
    for (int k = 0; k < n; ++k)
        buffer.Append(Numbered(k));
    const RecordSnapshot stored = buffer.Snapshot();
    buffer.Clear();
    archive.Add(stored, 0, n / 2, ArrivalSource::Restored);
    archive.Add(stored, n / 2, n, ArrivalSource::Restored);
    ASSERT_TRUE(archive.Flush(30000));
    const std::vector<TMeasRecord> back = archive.LoadSession(archive.SessionId(), false).value();
    ASSERT_EQ(back.size(), size_t(n));
    for (int k = 0; k < n; ++k)
        ASSERT_TRUE(SameBytes(back[size_t(k)], Numbered(k))) << k;

    SessionSummary session;
    session.id = archive.SessionId();
    session.running = true;
    archive.StepBack(true);
    std::promise<int64_t> counted;
    std::future<int64_t> count = counted.get_future();
    archive.CountMeasurements(session,
                              [&](int64_t measurements) { counted.set_value(measurements); });
    EXPECT_EQ(count.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    SqliteDb other;
    ASSERT_TRUE(other.TryOpen(options.path, false));
    ASSERT_TRUE(other.TryExec("BEGIN IMMEDIATE"));
    for (int k = 0; k < 200; ++k) // a backlog: the same measurements again
        archive.Add(Numbered(k), ArrivalSource::Live);
    archive.StepBack(false);
    EXPECT_EQ(count.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    ASSERT_TRUE(other.TryExec("ROLLBACK"));
    EXPECT_EQ(count.get(), n);
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
                ASSERT_TRUE(reader.TryOpen(path, false));
                query = reader.TryPrepare("SELECT id FROM session").value();
                ASSERT_TRUE(query->TryStep().value()); // its read transaction stays open
            }
            for (int k = 0; k < chunks * perChunk; ++k) {
                archive.Add(Numbered(k), ArrivalSource::Download);
                if (k % perChunk == perChunk - 1) {
                    ASSERT_TRUE(archive.Flush(30000));
                    longestWal = std::max(longestWal, QFileInfo(path + "-wal").size());
                }
            }
            session = archive.SessionId();
            // The second thread's copies reach the database file while the writer has it open.
            if (c.start == 1) {
                EXPECT_TRUE(
                    QTest::qWaitFor([&] { return QFileInfo(path).size() >= 20 * 4096; }, 30000));
            }
        }
        if (c.cap == 64 && !c.reader) {
            EXPECT_LE(longestWal, (64 + 40) * 4120 + 32);
        }
        EXPECT_FALSE(QFile::exists(path + "-wal"));
        EXPECT_EQ(Query(path, "PRAGMA integrity_check"), QStringList{"ok"});
        MeasurementArchive reopened(Options(path));
        const std::vector<TMeasRecord> written = reopened.LoadSession(session, false).value();
        ASSERT_EQ(written.size(), size_t(chunks * perChunk));
        for (int k = 0; k < chunks * perChunk; k += 997)
            EXPECT_TRUE(SameBytes(written[static_cast<size_t>(k)], Numbered(k))) << k;
    }
}

// A damaged file is moved aside with a message naming both paths and a new one is started; a
// crashed session in the damaged file is offered from there, as far as it can be read, and the
// damaged file is only read.
TEST(Archive, ADamagedFileIsMovedAsideAndACrashedSessionInItOffered) {
    for (const bool withSession : {false, true}) {
        SCOPED_TRACE(withSession);
        QTemporaryDir dir;
        const QString path = dir.filePath("archive.sqlite");
        std::vector<TMeasRecord> shown;
        if (!withSession) {
            ASSERT_TRUE(WriteAll(path, QByteArray("not a database at all ").repeated(300)));
        } else {
            {
                MeasurementArchive crashed(Options(path));
                for (int k = 0; k < 2000; ++k) {
                    crashed.Add(Numbered(k), ArrivalSource::Live);
                    shown.push_back(Numbered(k));
                }
                ASSERT_TRUE(crashed.Flush(30000));
                crashed.Abandon();
            }
            ASSERT_TRUE(SpoilNewestArrivalPage(path));
        }
        const QByteArray damaged = ReadAll(path);
        QStringList messages;
        std::mutex m;
        ArchiveOptions options = Options(path);
        options.onMessage = [&](const QString& text) {
            std::lock_guard l(m);
            messages << text;
        };
        MeasurementArchive archive(options);
        ASSERT_TRUE(archive.WaitOpen(30000)); // moved aside first, as at start-up
        const std::vector<UncleanSession> offers = archive.UncleanSessions().value();
        const QStringList aside =
            QDir(dir.path()).entryList({"archive.sqlite.damaged-????????T??????"});
        ASSERT_EQ(aside.size(), 1);
        const QString moved = dir.filePath(aside[0]);
        {
            std::lock_guard l(m);
            EXPECT_EQ(messages, QStringList{"The archive " + path +
                                            " was damaged. It was moved "
                                            "to " +
                                            moved + " and a new archive was started."});
        }
        archive.Add(Numbered(1), ArrivalSource::Live);
        ASSERT_TRUE(archive.Flush(30000));
        EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).value().size(), 1u);
        if (withSession) {
            ASSERT_EQ(offers.size(), 1u);
            EXPECT_EQ(offers[0].file, moved);
            const std::vector<TMeasRecord> back = archive.Restore(offers[0]).value().records;
            EXPECT_EQ(static_cast<int64_t>(back.size()), offers[0].items);
            EXPECT_GT(back.size(), shown.size() / 2);
            EXPECT_LT(back.size(), shown.size());
            for (size_t i = 0; i < back.size(); ++i)
                EXPECT_TRUE(SameBytes(back[i], shown[i])) << i;
        }
        EXPECT_TRUE(archive.UncleanSessions().value().empty()); // offered once
        EXPECT_EQ(ReadAll(moved), damaged);
    }
}

// What is no archive (no regular file, another program's database) is refused at once, with a
// message for what no file of SQLite can be, and left as it was: nothing waits on a FIFO, and a
// database in rollback-journal mode keeps its mode and its bytes.
TEST(Archive, WhatIsNoArchiveIsRefusedAtOnceAndLeftAsItWas) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    const QString folder = dir.filePath("folder");
    const QString foreign = dir.filePath("foreign.sqlite");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    {
        SqliteDb other;
        ASSERT_TRUE(other.TryOpen(foreign, true));
        ASSERT_TRUE(other.TryExec("CREATE TABLE mine (x); INSERT INTO mine VALUES (1)"));
    }
    const QByteArray foreignBytes = ReadAll(foreign);
    const struct {
        QString path;
        QString reason;
        bool told;
    } cases[] = {
        {fifo, fifo + " is not a regular file", true},
        {folder, folder + " is not a regular file", true},
        {"/dev/null", "/dev/null is not a regular file", true},
        {foreign, "not a measurement archive", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QStringList messages;
        std::mutex m;
        ArchiveOptions options = Options(c.path);
        options.onMessage = [&](const QString& text) {
            std::lock_guard l(m);
            messages << text;
        };
        MeasurementArchive archive(options);
        archive.Add(Numbered(1), ArrivalSource::Live);
        ASSERT_TRUE(WaitFor(archive, [](const ArchiveState& s) { return !s.reason.isEmpty(); }));
        EXPECT_EQ(archive.State().reason, c.reason);
        std::lock_guard l(m);
        EXPECT_EQ(messages, c.told ? QStringList{"The archive cannot be written: " + c.reason + "."}
                                   : QStringList());
    }
    EXPECT_EQ(ReadAll(foreign), foreignBytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System),
              QStringList({"fifo", "foreign.sqlite"}));
}

// The file or its WAL removed, or the file replaced, while the writer writes: it starts anew
// from the buffer its owner hands over, says so, and a crash then offers that buffer.
TEST(Archive, AFileLostUnderTheWriterIsStartedAnewFromTheBuffer) {
    enum class Loss { File, Wal, Replaced };
    const struct {
        Loss loss;
        const char* told;
    } cases[] = {
        {Loss::File, "The archive %1 was removed while the console wrote it. It starts anew with "
                     "the items in the buffer."},
        {Loss::Wal, "The archive's log %1-wal was removed while the console wrote it, and what it "
                    "held is lost. The archive goes on with the items in the buffer."},
        {Loss::Replaced, "The archive %1 was replaced by another file while the console wrote "
                         "it. It starts anew with the items in the buffer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        QTemporaryDir dir;
        const QString path = dir.filePath("archive.sqlite");
        // The owner's buffer; the writer's thread reads it when it asks for it.
        std::mutex m;
        std::vector<TMeasRecord> buffer;
        QStringList messages;
        std::atomic<MeasurementArchive*> owner = nullptr;
        ArchiveOptions options = Options(path);
        options.walStartFrames = 1; // older pages reach the file itself
        options.onMessage = [&](const QString& text) {
            std::lock_guard l(m);
            messages << text;
        };
        options.onRestart = [&] {
            std::lock_guard l(m);
            owner.load()->StartAnew(buffer, std::nullopt);
        };
        MeasurementArchive archive(options);
        owner = &archive;
        const auto add = [&](int k) {
            std::lock_guard l(m);
            buffer.push_back(Numbered(k));
            archive.Add(Numbered(k), ArrivalSource::Live);
        };
        for (int k = 0; k < 10; ++k)
            add(k);
        ASSERT_TRUE(archive.Flush(30000));
        if (c.loss == Loss::File) {
            ASSERT_TRUE(QFile::remove(path));
        } else if (c.loss == Loss::Wal) {
            ASSERT_TRUE(QFile::remove(path + "-wal"));
            // A read on a connection of ours (the checkpointer's) makes an empty log anew:
            // still what was removed, not another program's file.
            SqliteDb reader;
            ASSERT_TRUE(reader.TryOpen(path, false) && reader.TryExec("PRAGMA schema_version"));
            ASSERT_TRUE(QFile::exists(path + "-wal"));
        } else {
            const QString other = dir.filePath("other.sqlite");
            { MeasurementArchive closed(Options(other)); }
            ASSERT_EQ(
                ::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()),
                0);
        }
        for (int k = 10; k < 15; ++k)
            add(k);
        // The 10 before, then the 15 of the buffer.
        ASSERT_TRUE(QTest::qWaitFor([&] { return archive.State().archived == 25; }, 30000));
        const std::vector<TMeasRecord> written =
            archive.LoadSession(archive.SessionId(), false).value();
        ASSERT_EQ(written.size(), 15u);
        for (int k = 0; k < 15; ++k)
            EXPECT_TRUE(SameBytes(written[static_cast<size_t>(k)], Numbered(k))) << k;
        {
            std::lock_guard l(m);
            EXPECT_EQ(messages, QStringList{QString(c.told).arg(path)});
        }
        archive.Abandon();
        MeasurementArchive next(Options(path));
        const std::vector<UncleanSession> offers = next.UncleanSessions().value();
        ASSERT_EQ(offers.size(), 1u);
        EXPECT_EQ(offers[0].items, 15);
    }
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
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).value().size(), size_t(n));
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
    EXPECT_EQ(archive.LoadSession(archive.SessionId(), false).value().size(), 10u);
}
