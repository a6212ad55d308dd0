#pragma once
// One logger's measurements in a time span, read from the collector's database off the UI
// thread (a connection and a thread of its own, binary COPY in logger-time order) and handed to
// the UI thread in slices, so the window stays responsive and a "Cancel" is heard at once.
#include <QDateTime>
#include <QObject>
#include <atomic>
#include <thread>
#include <vector>

#include "records/MeasRecord.h"

namespace fleet {

// The logger's own time, from (inclusive) and to (exclusive); an invalid end is open.
struct LoadSpan {
    QDateTime from;
    QDateTime to;
};

// The statement that copies the measurements of `logger` in `span`.
QByteArray MeasurementCopySql(qint64 logger, const LoadSpan& span);

class MeasurementLoad : public QObject {
    Q_OBJECT
public:
    static constexpr size_t SliceRecords = 65536;

    explicit MeasurementLoad(QObject* parent = nullptr) : QObject(parent) {}
    // Stops a load still running and waits for its thread.
    ~MeasurementLoad() override;

    // Starts reading; false while a load still runs.
    bool Start(const QString& conninfo, qint64 logger, const LoadSpan& span);
    void Cancel() { cancel_ = true; }
    bool Running() const { return running_; }

signals:
    // Records in logger-time order, the next of the load.
    void Slice(const std::vector<TMeasRecord>& records);
    // So far, of about `total` (0 while unknown).
    void Progress(qint64 done, qint64 total);
    // The end: `error` empty when every record came (or the load was cancelled).
    void Finished(qint64 records, bool cancelled, const QString& error);

private:
    void Run(QString conninfo, QByteArray countSql, QByteArray copySql);

    std::thread thread_;
    std::atomic<bool> cancel_ = false;
    bool running_ = false;
};

} // namespace fleet
