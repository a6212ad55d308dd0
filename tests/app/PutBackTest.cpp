// Records put back into the buffer at once (a restore, a session loaded) go in slices with the
// event loop run between them: the window stays live, records put back meanwhile follow the
// first ones, and arrivals meanwhile follow them all, in the order they came.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "ConsoleFixture.h"
#include "app/features/ArchiveController.h"
#include "archive/MeasurementArchive.h"
#include "sqlite/Sqlite.h"

namespace {

TMeasRecord Numbered(int counter) {
    TMeasRecord r;
    r.Board = 0;
    r.Channel = 3;
    r.Rx = 1.5;
    r.Xx = 0.5;
    r.Counter = counter;
    r.Time = 46000.5;
    return r;
}

// Takes its time over the first slice, as a slow window would, so the hand-over yields to the
// event loop before it ends; the arrivals are posted then.
class SlowFirstSlice : public RecordStreamListener {
public:
    SlowFirstSlice(RecordStream& pool, std::function<void()> posted) : posted_(std::move(posted)) {
        ListenTo(&pool);
    }
    void RecordAppended(const TMeasRecord&) override {}
    void RecordsAppended(int64_t, int64_t) override {
        if (std::exchange(first_, false)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            QTimer::singleShot(0, posted_);
        }
    }
    void StreamCleared() override {}

private:
    std::function<void()> posted_;
    bool first_ = true;
};

} // namespace

TEST_F(ConsoleFixture, RecordsPutBackGoInSlicesAndArrivalsMeanwhileFollowThem) {
    Start(false);
    constexpr int Restored = 100000;
    std::vector<TMeasRecord> restored;
    for (int k = 1; k <= Restored; ++k)
        restored.push_back(Numbered(k));
    int64_t seenByTheLoop = -1;
    SlowFirstSlice slow(window->Buffer().Pool(), [&] {
        seenByTheLoop = window->Buffer().Pool().Count();
        window->Buffer().AddRecord(Numbered(-1), ArrivalSource::Live);
        const std::vector<TMeasRecord> fleet = {Numbered(-2), Numbered(-3)};
        window->Buffer().AddRecords(std::span<const TMeasRecord>(fleet), ArrivalSource::Fleet);
        window->Buffer().AddRecord(Numbered(-4), ArrivalSource::Report);
    });
    window->Buffer().AddRecords(std::move(restored), ArrivalSource::Restored);

    // The event loop ran while the records went in, and all were in when the call returned.
    EXPECT_GT(seenByTheLoop, 0);
    EXPECT_LT(seenByTheLoop, Restored);
    ASSERT_EQ(window->Buffer().Pool().Count(), Restored + 4);
    for (int k = 0; k < Restored; ++k)
        ASSERT_EQ(window->Buffer().Pool().At(k).Counter, k + 1);
    std::vector<int> after;
    for (int64_t k = Restored; k < window->Buffer().Pool().Count(); ++k)
        after.push_back(window->Buffer().Pool().At(k).Counter);
    EXPECT_EQ(after, (std::vector<int>{-2, -3, -1, -4}));
    EXPECT_EQ(Text("PoolItemsTx"), QString::number(Restored + 4));
}

// While "Download missing" fills the gaps, an item that comes during a put-back is counted on
// arrival and held: released, it must go into the buffer, not be taken for a repeat.
TEST_F(ConsoleFixture, ADownloadedItemHeldDuringAPutBackIsKeptWhileGapsAreFilled) {
    Start();
    window->DownloadRequested(1, 10);
    for (int k : {1, 2, 3, 5})
        window->AddDownloadedRecord(Numbered(k));
    QTRY_VERIFY_WITH_TIMEOUT(Find<QAbstractButton>("DwnMissingBtn")->isEnabled(), 10000);
    Click("DwnMissingBtn");

    std::vector<TMeasRecord> loaded;
    for (int k = 101; k <= 200000; ++k)
        loaded.push_back(Numbered(k));
    bool posted = false;
    SlowFirstSlice slow(window->Buffer().Pool(), [&] {
        posted = true;
        window->AddDownloadedRecord(Numbered(4));
    });
    window->Buffer().AddRecords(std::move(loaded), ArrivalSource::Restored);

    ASSERT_TRUE(posted);
    const RecordStream& pool = window->Buffer().Pool();
    ASSERT_EQ(pool.Count(), 4 + 199900 + 1);
    EXPECT_EQ(pool.At(pool.Count() - 1).Counter, 4);
}

// Records put back wait for the archive's writer however long a batch takes, also past the time
// after which a report no longer waits for it: none is left out. A writer that cannot write at
// all (its reason shown) holds nothing up: the queue counts what it cannot hold.
TEST_F(ConsoleFixture, RecordsPutBackWaitForASlowWriterButNotForAFailingOne) {
    constexpr int Records = 5000;
    for (const bool failing : {false, true}) {
        QTemporaryDir dir;
        ArchiveOptions options;
        options.path = dir.filePath("archive.sqlite");
        options.queueLimit = 400;
        options.holdBackAt = 50;
        options.stuckMs = 50;
        options.retryMs = 100;
        // Another program's write lock stands for a slow disk, or for a failing one when it
        // is given up on.
        options.busyTimeoutMs = failing ? 50 : 600000;
        MeasurementArchive archive(options);
        ASSERT_TRUE(archive.WaitOpen(30000));
        Start(false);
        window->Archive().Start(&archive, false);
        SqliteDb other;
        ASSERT_TRUE(other.TryOpen(options.path, false));
        other.SetBusyTimeout(30000); // the port's name may be being written
        ASSERT_TRUE(other.TryExec("BEGIN IMMEDIATE"));
        std::vector<TMeasRecord> records;
        for (int k = 1; k <= Records; ++k)
            records.push_back(Numbered(k));
        window->Buffer().AddRecords(std::move(records), ArrivalSource::Restored);
        const auto fed = [&] { return !window->Archive().HoldsArrivals(); };
        if (failing) {
            ASSERT_TRUE(QTest::qWaitFor(fed, 30000));
            EXPECT_FALSE(archive.State().reason.isEmpty());
            EXPECT_GT(archive.State().dropped, 0);
        } else {
            // Past stuckMs without a batch written: the feed goes on waiting.
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return archive.Full() && !archive.Behind(); }, 30000));
            QTest::qWait(100);
            EXPECT_FALSE(fed());
        }
        ASSERT_TRUE(other.TryExec("ROLLBACK"));
        ASSERT_TRUE(QTest::qWaitFor(fed, 30000));
        ASSERT_TRUE(archive.Flush(30000));
        if (!failing) {
            EXPECT_EQ(archive.State().dropped, 0);
            EXPECT_EQ(archive.State().archived, Records);
        }
        window.reset(); // before the archive it hands records to
    }
}
