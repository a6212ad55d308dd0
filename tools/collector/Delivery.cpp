#include "tools/collector/Delivery.h"

#include <limits>

#include <QDateTime>
#include <QElapsedTimer>

#include "tools/collector/CollectorLog.h"
#include "tools/collector/DatabaseConnect.h"
#include "tools/collector/DatabaseSchema.h"
#include "tools/collector/ReportLine.h"

namespace collector {

namespace {

constexpr int BatchReports = 1000;
constexpr int64_t BatchBytes = int64_t{2} << 20;
// The pause after a failure grows to this; a look at the spool at least this often anyway.
constexpr int MaxPauseMs = 5000;

} // namespace

Delivery::Delivery(DeliverySettings settings, SpoolWriter& spool)
    : settings_(std::move(settings)), spool_(spool) {}

Delivery::~Delivery() {
    Finish();
}

void Delivery::Start() {
    wakes_ = 1; // what waits in the spool from before goes first
    for (int k = 0; k < Workers; ++k) {
        auto w = std::make_unique<Worker>();
        w->store = std::make_unique<ReportStore>(w->db, settings_.collectorName);
        workers_.push_back(std::move(w));
    }
    for (const auto& w : workers_)
        w->thread = std::thread([this, worker = w.get()] { Run(*worker); });
}

void Delivery::Wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakes_;
    }
    wake_.notify_all();
}

void Delivery::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (workers_.empty() || finish_)
            return;
        finish_ = true;
    }
    wake_.notify_all();
    for (const auto& w : workers_)
        w->thread.join();
    // What no worker could deliver: given back, or never taken.
    int64_t left = 0;
    for (const auto& [seq, batch] : giveBack_)
        left += static_cast<int64_t>(batch.size());
    Result<std::vector<SpooledReport>> untaken = workers_.front()->reader.Complete(
        claimedSeq_, std::numeric_limits<int>::max(), std::numeric_limits<int64_t>::max());
    if (untaken)
        left += static_cast<int64_t>(untaken->size());
    if (left > 0)
        Log(QString("%1 reports stay in the spool for the next start").arg(left));
}

DeliveryTotals Delivery::Totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

void Delivery::Run(Worker& w) {
    if (Result<void> r = w.reader.Open(settings_.spoolPath); !r) {
        Log("spool not readable: " + r.error().text);
        return;
    }
    // The database is reached (and its tables made) at once, not with the first report.
    Connected(w);
    uint64_t seen = 0;
    for (;;) {
        bool finishing = false;
        {
            std::unique_lock lock(mutex_);
            const int pauseMs =
                failures_ == 0 ? MaxPauseMs : std::min(MaxPauseMs, 500 << std::min(failures_, 4));
            wake_.wait_for(lock, std::chrono::milliseconds(pauseMs),
                           [&] { return wakes_ != seen || finish_; });
            seen = wakes_;
            finishing = finish_;
        }
        while (DeliverBatch(w) == Outcome::Delivered) {
        }
        if (finishing)
            return;
    }
}

bool Delivery::Connected(Worker& w) {
    if (!w.db.Broken())
        return true;
    Result<pg::PgConnection> db = ConnectDatabase(settings_.database);
    if (!db) {
        Unavailable(db.error());
        return false;
    }
    w.db = std::move(*db);
    if (Result<int> before = Migrate(w.db); !before) {
        Unavailable(before.error());
        w.db = pg::PgConnection();
        return false;
    } else if (*before < SchemaVersion()) {
        Log(QString("database schema made version %1 (was %2)").arg(SchemaVersion()).arg(*before));
    }
    return true;
}

void Delivery::Unavailable(const Error& e) {
    std::lock_guard lock(mutex_);
    ++failures_;
    if (down_)
        return;
    down_ = true;
    downSinceMs_ = QDateTime::currentMSecsSinceEpoch();
    Log("database unavailable: " + e.text + "; reports wait in the spool");
}

Result<std::vector<SpooledReport>> Delivery::Claim(Worker& w) {
    if (!giveBack_.empty()) {
        std::vector<SpooledReport> batch = std::move(giveBack_.begin()->second);
        giveBack_.erase(giveBack_.begin());
        return batch;
    }
    Result<std::vector<SpooledReport>> batch =
        w.reader.Complete(claimedSeq_, BatchReports, BatchBytes);
    if (batch && !batch->empty())
        claimedSeq_ = batch->back().closedSeq;
    return batch;
}

void Delivery::GiveBack(std::vector<SpooledReport> batch) {
    std::lock_guard lock(mutex_);
    giveBack_[batch.front().closedSeq] = std::move(batch);
}

Delivery::Outcome Delivery::DeliverBatch(Worker& w) {
    if (!Connected(w))
        return Outcome::Failed;
    Result<std::vector<SpooledReport>> batch;
    {
        std::lock_guard lock(mutex_);
        batch = Claim(w);
    }
    if (!batch) {
        Log("spool not readable: " + batch.error().text);
        std::lock_guard lock(mutex_);
        ++failures_;
        return Outcome::Failed;
    }
    if (batch->empty())
        return Outcome::Nothing;
    if (settings_.acceptUnknown) {
        Result<std::vector<QString>> added = w.store->RegisterUnknown(*batch);
        if (!added) {
            Unavailable(added.error());
            GiveBack(std::move(*batch));
            return Outcome::Failed;
        }
        for (const QString& name : *added)
            Log(QString("logger %1 registered (--accept-unknown)").arg(name));
    }
    QElapsedTimer clock;
    clock.start();
    Result<std::vector<StoredReport>> stored = w.store->Store(*batch, w.reader);
    if (!stored) {
        GiveBack(std::move(*batch));
        const QString state = stored.error().code;
        // Two transactions that wrote the same measurements in a different order (two workers,
        // two collectors): the database gave one up; it is simply done again.
        if (state == pg::sqlstate::Deadlock || state == pg::sqlstate::SerializationFailure)
            return Outcome::Delivered;
        Unavailable(stored.error());
        if (w.db.Broken())
            w.db = pg::PgConnection();
        return Outcome::Failed;
    }
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    std::vector<int64_t> delivered;
    for (const SpooledReport& s : *batch)
        delivered.push_back(s.spoolId);
    spool_.Forget(std::move(delivered));

    DeliveryTotals batchTotals;
    batchTotals.databaseSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    for (const StoredReport& r : *stored) {
        if (r.empty)
            continue;
        Log(ReportLine(r, now));
        if (r.earlier)
            continue;
        ++batchTotals.reports;
        batchTotals.items += r.counts.counts.items;
        batchTotals.newItems += r.counts.newItems;
    }
    std::lock_guard lock(mutex_);
    if (down_) {
        Log(QString("database back after %1 s; the spooled reports go in")
                .arg((now - downSinceMs_ + 500) / 1000));
        down_ = false;
    }
    failures_ = 0;
    totals_.reports += batchTotals.reports;
    totals_.items += batchTotals.items;
    totals_.newItems += batchTotals.newItems;
    totals_.databaseSeconds += batchTotals.databaseSeconds;
    return Outcome::Delivered;
}

} // namespace collector
