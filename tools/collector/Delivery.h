#pragma once
// The spool's complete reports into the database, in the order they became complete, a batch at
// a time (up to 1,000 reports or 2 MiB of bytes in one transaction), by two workers with a
// connection each, so that the database parses and indexes one batch on one core while it takes
// the next on the other. While the database cannot be reached or refuses, the reports stay in the
// spool: that is said once, tried again every few seconds, and said again when they go in. One
// line per report goes to the log once it is committed.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QString>

#include "pg/PgConnection.h"
#include "tools/collector/ReportStore.h"
#include "tools/collector/SpoolReader.h"
#include "tools/collector/SpoolWriter.h"

namespace collector {

struct DeliverySettings {
    QString database; // libpq connection string
    QString spoolPath;
    QString collectorName; // report.collector
    bool acceptUnknown = false;
};

// What was delivered, for the last line of the log.
struct DeliveryTotals {
    int64_t reports = 0;
    int64_t items = 0;
    int64_t newItems = 0;
    double databaseSeconds = 0; // in transactions that committed, all workers together
};

class Delivery {
public:
    static constexpr int Workers = 2;

    Delivery(DeliverySettings settings, SpoolWriter& spool);
    ~Delivery();

    void Start();
    // Reports were completed in the spool.
    void Wake();
    // Delivers what is complete (one more try when the database is away, then the rest stays
    // in the spool for the next start) and ends the workers.
    void Finish();

    DeliveryTotals Totals() const;

private:
    struct Worker {
        SpoolReader reader;
        pg::PgConnection db;
        std::unique_ptr<ReportStore> store;
        std::thread thread;
    };
    enum class Outcome { Nothing, Delivered, Failed };

    void Run(Worker& w);
    Outcome DeliverBatch(Worker& w);
    bool Connected(Worker& w);
    // The next batch: one that failed before, else the next complete reports. Under mutex_.
    Result<std::vector<SpooledReport>> Claim(Worker& w);
    void GiveBack(std::vector<SpooledReport> batch);
    void Unavailable(const Error& e);

    DeliverySettings settings_;
    SpoolWriter& spool_;
    std::vector<std::unique_ptr<Worker>> workers_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    uint64_t wakes_ = 0;
    bool finish_ = false;
    int64_t claimedSeq_ = 0; // complete reports up to here are taken by a worker
    std::map<int64_t, std::vector<SpooledReport>> giveBack_; // failed batches by first sequence
    bool down_ = false;
    int64_t downSinceMs_ = 0;
    int failures_ = 0;
    DeliveryTotals totals_;
};

} // namespace collector
