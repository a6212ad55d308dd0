#pragma once
// One logger of a fleet: it measures the sixteen channels of its first board once a minute of its
// own clock (as fast as asked, not in real time), and sends its reports over TCP from a local
// address of its own. Measurements of a report that was given up go out again with the next one,
// as the logger's memory keeps them.
#include <functional>
#include <span>
#include <vector>

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include "tools/logger/GprsReporter.h"
#include "tools/logger/ImpedanceSynth.h"
#include "tools/logger/LoggerOptions.h"
#include "tools/logger/MeasurementEncoder.h"

namespace logger {

// Where and how the fleet reports.
struct FleetTarget {
    QString host;
    quint16 port = 4000;
    bool reportAll = false;
    int retryDelayMs = 3000;
};

class FleetLogger : public QObject {
    Q_OBJECT
public:
    FleetLogger(int index, const FleetOptions& fleet, const FleetTarget& target, uint64_t seed,
                QDateTime clockStart, QObject* parent = nullptr);

    // Measures and sends the first report (connecting once the event loop runs); the others
    // follow one interval after each ends.
    void Start();

    QHostAddress Address() const { return address_; }
    // The measurements that reached the server: those of every report that went out whole.
    std::span<const MeasurementBytes> Delivered() const {
        return std::span(memory_).first(reported_);
    }
    int ReportsDelivered() const { return delivered_; }
    int ReportsGivenUp() const { return givenUp_; }

    // All reports are done, delivered or given up.
    std::function<void()> onDone;
    std::function<void(const QString&)> onLog;

private:
    void Measure(int items);
    ReportJob Prepare();
    void Finished(bool delivered);

    QHostAddress address_;
    FleetOptions fleet_;
    FleetTarget target_;
    ImpedanceSynth synth_;
    QDateTime clock_;
    GprsReporter reporter_;
    QTimer next_;
    std::vector<MeasurementBytes> memory_;
    size_t reported_ = 0;
    size_t sending_ = 0; // memory_ size when the running report was prepared
    int measured_ = 0;   // measurements taken, the counter of the last one
    int reportsLeft_ = 0;
    int delivered_ = 0;
    int givenUp_ = 0;
};

} // namespace logger
