#pragma once
// The logger behind the serial line: it parses the console's requests, keeps the settings,
// measures, stores items and answers. Everything is plain logic; timers, the terminal and the
// network are wired to it from outside, so tests drive it byte by byte.
//
// Set requests are acknowledged by the answer of the matching read request with the values now
// held (SetPeriod -> Answer::Period, SetParams -> Answer::Params, ...), so the console's
// controls show what the logger took. StartMeasure and StopMeasure answer MeasureState with 1
// or 0, ClearMemory MemoryCleared, GetDataSize DataSize, Download one DownloadItem per item,
// StartFreqMeasure one SweepPoint per sweep point, ForceGprsReport ReportForced.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "link/Frame.h"
#include "link/ProtocolCodes.h"
#include "tools/logger/ImpedanceSynth.h"
#include "tools/logger/LoggerClock.h"
#include "tools/logger/LoggerSettings.h"
#include "tools/logger/MeasurementEncoder.h"

namespace logger {

// Items the memory holds; when it is full, measurements are still sent but no longer stored.
constexpr size_t MemoryCapacity = size_t{1} << 20;
constexpr uint32_t CounterMask = 0xFFFFFF;

// Report items taken from the memory for one GPRS report.
struct ReportBatch {
    QByteArray bytes;
    int items = 0;
    size_t upTo = 0;         // memory index after the last item sent
    uint64_t generation = 0; // of the memory; clearing it makes the batch stale
};

class LoggerCore {
public:
    LoggerCore(LoggerClock& clock, ImpedanceSynth& synth);

    // A whole answer frame to send to the console.
    std::function<void(const std::vector<uint8_t>&)> onAnswer;
    // Measuring started or stopped, or its period changed.
    std::function<void()> onMeasuringChanged;
    // A GPRS report is due: forced by the console or the daily report time.
    std::function<void()> onReportRequested;
    // What happened, for a verbose log: link errors, ignored requests.
    std::function<void(const QString&)> onLog;

    // One byte from the console.
    void Receive(uint8_t b);
    // One 100 ms tick of silence on the line.
    void TickIdle() { receiver_.Tick(); }
    // One whole request.
    void Handle(uint8_t request, std::span<const uint8_t> payload);
    // One measuring period: every selected channel of every board, while measuring.
    void MeasureCycle();
    // Raises onReportRequested once the clock has passed the daily report time.
    void CheckDailyReport();

    // The items not yet reported, or all stored items.
    ReportBatch PrepareReport(bool allItems) const;
    // The batch arrived: its items count as reported.
    void MarkReported(const ReportBatch& batch);

    const LoggerSettings& Settings() const { return settings_; }
    bool Measuring() const { return measuring_; }
    // Length of a measuring period on the logger's clock; a zero period counts as one minute.
    int64_t PeriodMs() const;
    const std::vector<MeasurementBytes>& Memory() const { return memory_; }
    LoggerClock& Clock() { return clock_; }

private:
    void SendAnswer(Answer answer, std::span<const uint8_t> data = {});
    void AnswerPeriod();
    void AnswerParams();
    void AnswerMask();
    void AnswerTime();
    void AnswerGprsNet();
    void AnswerGprsReport();
    void AnswerFreqParams();
    void AnswerMeasureState();
    void SetTimeFrom(std::span<const uint8_t> p);
    void SendDownload(std::span<const uint8_t> p);
    void RunSweep();
    void Log(const QString& text);

    LoggerClock& clock_;
    ImpedanceSynth& synth_;
    FrameReceiver receiver_{frame::RequestStart};
    LoggerSettings settings_;
    bool measuring_ = false;
    std::vector<MeasurementBytes> memory_;
    uint32_t measurements_ = 0; // since the memory was cleared; the counter of the last one
    uint64_t generation_ = 0;
    size_t reported_ = 0;
    QDateTime lastDailyCheck_;
};

} // namespace logger
