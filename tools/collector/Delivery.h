#pragma once
// The spool's complete reports into the database, on a thread of its own, in the order they
// became complete, a batch at a time (up to 1,000 reports or 4 MiB of bytes in one transaction).
// While the database cannot be reached or refuses, the reports stay in the spool: that is said
// once, tried again every few seconds, and said again when they go in. One line per report goes
// to the log once it is committed.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <QString>

#include "tools/collector/PgConnection.h"
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
    double databaseSeconds = 0; // in transactions that committed
};

class Delivery {
public:
    Delivery(DeliverySettings settings, SpoolWriter& spool);
    ~Delivery();

    void Start();
    // Reports were completed in the spool.
    void Wake();
    // Delivers what is complete (one more try when the database is away, then the rest stays
    // in the spool for the next start) and ends the thread.
    void Finish();

    DeliveryTotals Totals() const;

private:
    enum class Outcome { Nothing, Delivered, Failed };

    void Run();
    Outcome DeliverBatch();
    bool Connected();
    void Unavailable(const Error& e);

    DeliverySettings settings_;
    SpoolWriter& spool_;
    SpoolReader reader_;
    PgConnection db_;
    ReportStore store_;
    int64_t lastSeq_ = 0;
    bool down_ = false;
    int64_t downSinceMs_ = 0;
    int failures_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool finish_ = false;
    DeliveryTotals totals_;
    std::thread thread_;
};

} // namespace collector
