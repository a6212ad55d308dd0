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
