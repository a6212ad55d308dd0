#include "archive/ArrivalRecords.h"

#include <QScopeGuard>
#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "archive/ArchiveRow.h"
#include "base/ThreadPriority.h"
#include "base/WorkProgress.h"
#include "sqlite/Sqlite.h"

namespace {
// How many rows a read goes between two looks at its stop.
constexpr size_t StopEvery = 4096;
// The ids of one stretch of the read on two connections (at most as many records: a slice the
// buffer takes at once), and how many stretches may be read ahead of the one handed on next
// (a few megabytes).
constexpr int64_t Stretch = 32768;
constexpr int64_t Ahead = 4;
} // namespace

Result<SqliteStatement> PrepareArrivals(SqliteDb& db) {
    return db.TryPrepare(
        "SELECT board, channel, range, rx, xx, counter, logger_time, image, id FROM arrival "
        "WHERE id BETWEEN ?1 AND ?2 AND session = ?3 ORDER BY id");
}

Result<void> ReadArrivals(SqliteStatement& rows, int64_t from, int64_t to, int64_t session,
                          bool salvage, const std::atomic<bool>* stop,
                          const std::function<void(const TMeasRecord&)>& take) {
    auto optional = [&](int c) -> std::optional<double> {
        return rows.IsNull(c) ? std::nullopt : std::optional<double>(rows.Real(c));
    };
    // In a damaged file a page that cannot be read fails the scan: it goes on behind it, the
    // step growing while it keeps failing, so that a large hole costs few tries. Ids may run up
    // to the largest an integer holds: nothing is counted past `to`.
    int64_t skip = 1;
    size_t read = 0;
    for (bool more = from <= to; more;) {
        rows.BindAll(from, to, session);
        Result<bool> row;
        while ((row = rows.TryStep()) && *row) {
            const std::optional<int64_t> counter =
                rows.IsNull(5) ? std::nullopt : std::optional<int64_t>(rows.Int(5));
            take(RecordOf(rows.Int(0), rows.Int(1), static_cast<int32_t>(rows.Int(2)), optional(3),
                          optional(4), counter, rows.TextView(6), rows.Blob(7)));
            const int64_t id = rows.Int(8); // within [from, to], ascending
            more = id < to;
            from = more ? id + 1 : to;
            skip = 1;
            if (stop && ++read % StopEvery == 0 && stop->load(std::memory_order_relaxed)) {
                rows.Reset();
                return {};
            }
        }
        if (row)
            break;
        rows.Reset();
        if (!salvage)
            return tl::unexpected(row.error());
        more =
            static_cast<uint64_t>(skip) <= static_cast<uint64_t>(to) - static_cast<uint64_t>(from);
        if (more)
            from += skip;
        skip = std::min(2 * skip, int64_t(1) << 40);
    }
    rows.Reset();
    return {};
}

Result<void> ReadArrivalsOnTwo(SqliteStatement& mine, SqliteStatement& theirs, int64_t from,
                               int64_t to, int64_t session, WorkProgress* progress,
                               const std::function<void(std::vector<TMeasRecord>&&)>& handOn) {
    const int64_t stretches = (to - from) / Stretch + 1;
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> stop = false; // failed, cancelled or done: both threads end
    std::optional<Error> failure;
    std::map<int64_t, std::vector<TMeasRecord>> ready; // stretches read, by number
    int64_t next = 0;                                  // the stretch to hand on next
    int64_t handed = 0;
    // Reads stretch k into `ready`.
    const auto readStretch = [&](SqliteStatement& rows, int64_t k) {
        std::vector<TMeasRecord> records;
        records.reserve(Stretch);
        const int64_t begin = from + k * Stretch; // within [from, to]
        const Result<void> read =
            ReadArrivals(rows, begin, begin + std::min(Stretch - 1, to - begin), session, false,
                         &stop, [&records](const TMeasRecord& r) { records.push_back(r); });
        std::lock_guard l(m);
        if (!read) {
            if (!failure)
                failure = read.error();
            stop = true;
        } else {
            ready.emplace(k, std::move(records));
        }
        cv.notify_all();
    };
    // The second thread reads the odd stretches, while it is not too far ahead.
    std::thread second([&] {
        NameThisThread("archive read 2");
        try {
            for (int64_t k = 1; k < stretches; k += 2) {
                {
                    std::unique_lock l(m);
                    cv.wait(l, [&] { return stop || k < next + Ahead; });
                    if (stop)
                        return;
                }
                readStretch(theirs, k);
            }
        } catch (const std::bad_alloc&) { // fails the read, as it would on one thread
            std::lock_guard l(m);
            if (!failure)
                failure = Error{QStringLiteral("out of memory"), {}};
            stop = true;
            cv.notify_all();
        }
    });
    // This one the even ones, and it hands on, in order, what was read (unlocked meanwhile).
    const auto handOnReady = [&](std::unique_lock<std::mutex>& l) {
        for (auto it = ready.find(next); !stop && it != ready.end(); it = ready.find(next)) {
            std::vector<TMeasRecord> records = std::move(it->second);
            ready.erase(it);
            l.unlock();
            handed += static_cast<int64_t>(records.size());
            if (!records.empty())
                handOn(std::move(records));
            if (progress) {
                progress->done.store(handed, std::memory_order_relaxed);
                if (progress->cancel.load(std::memory_order_relaxed))
                    stop = true;
            }
            l.lock();
            ++next;
            cv.notify_all();
        }
    };
    {
        // Also when a slice's taker throws: the second thread ends first.
        const auto ended = qScopeGuard([&] {
            {
                std::lock_guard l(m);
                stop = true;
            }
            cv.notify_all();
            second.join();
        });
        for (int64_t k = 0;; k += 2) {
            {
                std::unique_lock l(m);
                for (;;) {
                    handOnReady(l);
                    if (stop || (k < stretches ? k < next + Ahead : next == stretches))
                        break;
                    cv.wait(l);
                }
                if (stop || k >= stretches)
                    break;
            }
            readStretch(mine, k);
        }
    }
    if (failure)
        return tl::unexpected(*failure);
    return {};
}
