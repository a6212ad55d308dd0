#pragma once
// Follows a download of stored items by their counters (item k carries counter k): how many of
// the requested ones arrived, how fast, and, once the stream stops, which are missing, so that
// exactly the gaps can be asked for again. Answers dropped on a noisy line would otherwise be
// lost without a trace.
#include <cstdint>
#include <span>
#include <vector>

#include <QString>

struct CounterSpan {
    int64_t first = 0;
    int64_t count = 0;
    bool operator==(const CounterSpan&) const = default;
};

class DownloadTracker {
public:
    // No item for this long ends the stream.
    static constexpr int64_t StallMs = 2000;

    // A new download of `amount` items from item `first`, as the request carries them (low 24
    // bits; item 0 is the first). `stored` is the number of items the logger reported holding,
    // or -1 when unknown: no item beyond it can come. Forgets the download before.
    void Start(int64_t first, int64_t amount, int64_t stored, int64_t nowMs);
    // Takes over the download of a console that ended before it was complete: the counters
    // first..first+amount-1 as Start() left them, of which the `arrived` runs are in. It runs on
    // as if items were still coming (a logger goes on sending), and stops after StallMs without.
    void Restore(int64_t first, int64_t amount, std::span<const CounterSpan> arrived,
                 int64_t nowMs);
    // The missing spans were asked for again: the stream runs on, and a counter that already
    // arrived is not taken a second time.
    void Resume(int64_t nowMs);
    // One downloaded item; false when it must not be stored (a repeat while filling gaps).
    bool Arrived(int64_t counter, int64_t nowMs);
    // True when the stream stopped at `nowMs` (every item in, or none for StallMs).
    bool Check(int64_t nowMs);

    bool Active() const { return amount_ > 0; }
    int64_t First() const { return first_; }
    bool Running() const { return running_; }
    int64_t Requested() const { return amount_; }
    int64_t Received() const { return received_; }
    // The missing counters as runs, in order: one Download request each.
    std::vector<CounterSpan> Missing() const { return Runs(false); }
    // The counters that arrived, as runs in order.
    std::vector<CounterSpan> Arrived() const { return Runs(true); }

    // "3,120 of 9,600 - 52 items/s - 1:09 left" while running, "9,408 of 9,600 arrived" after.
    QString ProgressText(int64_t nowMs) const;
    // After the stream: "None missing", or "Missing 192: 7, 14, 21-23, ..." with at most
    // `maxRuns` runs named.
    QString MissingText(int maxRuns = 24) const;

private:
    std::vector<CounterSpan> Runs(bool arrived) const;

    int64_t first_ = 0;
    int64_t amount_ = 0;
    std::vector<bool> got_;
    int64_t received_ = 0;
    bool running_ = false;
    bool fillingGaps_ = false;
    int64_t runStartMs_ = 0;
    int64_t runStartCount_ = 0;
    int64_t lastItemMs_ = 0;
};

// "9,600": a whole number with a comma between thousands.
QString GroupedNumber(int64_t n);
