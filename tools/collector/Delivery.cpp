#include "tools/collector/Delivery.h"

#include <QDateTime>
#include <QElapsedTimer>

#include "tools/collector/CollectorLog.h"
#include "tools/collector/DatabaseSchema.h"
#include "tools/collector/ReportLine.h"
#include "tools/collector/ReportStore.h"

namespace collector {

namespace {

constexpr int BatchReports = 1000;
constexpr int64_t BatchBytes = int64_t{4} << 20;
// The pause after a failure grows to this; a look at the spool at least this often anyway.
constexpr int MaxPauseMs = 5000;

} // namespace

Delivery::Delivery(DeliverySettings settings, SpoolWriter& spool)
    : settings_(std::move(settings)), spool_(spool), store_(db_, settings_.collectorName) {}

Delivery::~Delivery() {
    Finish();
}

void Delivery::Start() {
    woken_ = true; // what waits in the spool from before goes first
    thread_ = std::thread([this] { Run(); });
}

void Delivery::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_one();
}

void Delivery::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable())
            return;
        finish_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

DeliveryTotals Delivery::Totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

void Delivery::Run() {
    if (Result<void> r = reader_.Open(settings_.spoolPath); !r) {
        Log("spool not readable: " + r.error().text);
        return;
    }
    // The database is reached (and its tables made) at once, not with the first report.
    Connected();
    for (;;) {
        bool finishing = false;
        {
            std::unique_lock lock(mutex_);
            const int pauseMs =
                failures_ == 0 ? MaxPauseMs : std::min(MaxPauseMs, 500 << std::min(failures_, 4));
            wake_.wait_for(lock, std::chrono::milliseconds(pauseMs),
                           [this] { return woken_ || finish_; });
            woken_ = false;
            finishing = finish_;
        }
        Outcome last;
        while ((last = DeliverBatch()) == Outcome::Delivered) {
        }
        if (finishing) {
            if (last == Outcome::Failed) {
                if (Result<int64_t> left = reader_.Waiting(); left && *left > 0)
                    Log(QString("%1 reports stay in the spool for the next start").arg(*left));
            }
            return;
        }
    }
}

bool Delivery::Connected() {
    if (!db_.Broken())
        return true;
    Result<PgConnection> db = PgConnection::Connect(settings_.database);
    if (!db) {
        Unavailable(db.error());
        return false;
    }
    db_ = std::move(*db);
    if (Result<int> before = Migrate(db_); !before) {
        Unavailable(before.error());
        db_ = PgConnection();
        return false;
    } else if (*before < SchemaVersion()) {
        Log(QString("database schema made version %1 (was %2)").arg(SchemaVersion()).arg(*before));
    }
    return true;
}

void Delivery::Unavailable(const Error& e) {
    ++failures_;
    if (down_)
        return;
    down_ = true;
    downSinceMs_ = QDateTime::currentMSecsSinceEpoch();
    Log("database unavailable: " + e.text + "; reports wait in the spool");
}

Delivery::Outcome Delivery::DeliverBatch() {
    if (!Connected())
        return Outcome::Failed;
    Result<std::vector<SpooledReport>> batch = reader_.Complete(lastSeq_, BatchReports, BatchBytes);
    if (!batch) {
        Log("spool not readable: " + batch.error().text);
        ++failures_;
        return Outcome::Failed;
    }
    if (batch->empty())
        return Outcome::Nothing;
    if (settings_.acceptUnknown) {
        Result<std::vector<QString>> added = store_.RegisterUnknown(*batch);
        if (!added) {
            Unavailable(added.error());
            return Outcome::Failed;
        }
        for (const QString& name : *added)
            Log(QString("logger %1 registered (--accept-unknown)").arg(name));
    }
    QElapsedTimer clock;
    clock.start();
    Result<std::vector<StoredReport>> stored = store_.Store(*batch, reader_);
    if (!stored) {
        const QString state = stored.error().sqlState;
        // Two collectors that wrote the same measurements in a different order: the database
        // gave up one of the transactions; it is simply done again.
        if (state == sqlstate::Deadlock || state == sqlstate::SerializationFailure)
            return Outcome::Delivered;
        Unavailable(stored.error());
        if (db_.Broken())
            db_ = PgConnection();
        return Outcome::Failed;
    }
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    lastSeq_ = batch->back().closedSeq;
    std::vector<int64_t> delivered;
    for (const SpooledReport& s : *batch)
        delivered.push_back(s.spoolId);
    spool_.Forget(std::move(delivered));
    if (down_) {
        Log(QString("database back after %1 s; the spooled reports go in")
                .arg((now - downSinceMs_ + 500) / 1000));
        down_ = false;
    }
    failures_ = 0;
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
    totals_.reports += batchTotals.reports;
    totals_.items += batchTotals.items;
    totals_.newItems += batchTotals.newItems;
    totals_.databaseSeconds += batchTotals.databaseSeconds;
    return Outcome::Delivered;
}

} // namespace collector
