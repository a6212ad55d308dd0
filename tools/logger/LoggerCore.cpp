#include "tools/logger/LoggerCore.h"

#include <algorithm>
#include <cmath>

#include "base/Rounding.h"
#include "link/Encodings.h"
#include "records/DateTime.h"
#include "records/WireBytes.h"
#include "sweep/SweepSettings.h"

namespace logger {

namespace {

// Payload bytes each request needs; shorter requests are ignored rather than filled with guesses.
size_t PayloadSize(uint8_t request) {
    switch (static_cast<Request>(request)) {
    case Request::SetPeriod:
        return 2;
    case Request::SetParams:
        return 7;
    case Request::SetMask:
        return 16;
    case Request::Download:
        return 6;
    case Request::SetTime:
        return 8;
    case Request::SetGprsNet:
        return ApnFieldSize + ServerIpFieldSize;
    case Request::SetGprsReport:
        return 3;
    case Request::SetFreqParams:
        return 13;
    default:
        return 0;
    }
}

bool Known(uint8_t request) {
    return request <= CodeOf(Request::GetFreqParams) ||
           (request >= CodeOf(Request::SetPeriod) && request <= CodeOf(Request::SetFreqParams));
}

uint32_t Be24(std::span<const uint8_t> p) {
    return ReadBig24(p.data());
}

// A text field: up to the first zero byte, at most size - 1 characters.
std::string FieldText(std::span<const uint8_t> field) {
    std::string text;
    for (size_t i = 0; i + 1 < field.size() && field[i] != 0; ++i)
        text.push_back(static_cast<char>(field[i]));
    return text;
}

void PutField(std::vector<uint8_t>& out, const std::string& text, size_t size) {
    size_t n = std::min(text.size(), size - 1);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    out.insert(out.end(), size - n, uint8_t{0});
}

} // namespace

LoggerCore::LoggerCore(LoggerClock& clock, ImpedanceSynth& synth)
    : clock_(clock), synth_(synth), lastDailyCheck_(clock.Now()) {
    receiver_.onFrame = [this] {
        size_t n = static_cast<size_t>(std::max(receiver_.RxLength - 3, 0));
        Handle(receiver_.RxCmd, std::span<const uint8_t>(receiver_.RxData.data(), n));
    };
    receiver_.onError = [this](FrameError, const QString& text) { Log(text); };
}

void LoggerCore::Receive(uint8_t b) {
    receiver_.Receive(b);
}

void LoggerCore::Log(const QString& text) {
    if (onLog)
        onLog(text);
}

void LoggerCore::SendAnswer(Answer answer, std::span<const uint8_t> data) {
    if (onAnswer)
        onAnswer(frame::Build(frame::AnswerStart, CodeOf(answer), data));
}

void LoggerCore::Handle(uint8_t request, std::span<const uint8_t> p) {
    if (!Known(request)) {
        Log(QString("unknown request %1 ignored").arg(request));
        return;
    }
    if (p.size() < PayloadSize(request)) {
        Log(QString("request %1 with %2 payload bytes ignored, %3 needed")
                .arg(request)
                .arg(p.size())
                .arg(PayloadSize(request)));
        return;
    }
    Log(QString("request %1").arg(request));
    LoggerSettings& s = settings_;
    switch (static_cast<Request>(request)) {
    case Request::GetVersion: {
        const uint8_t version[] = {FirmwareMajor, FirmwareMinor};
        SendAnswer(Answer::Version, version);
        break;
    }
    case Request::GetPeriod:
        AnswerPeriod();
        break;
    case Request::GetParams:
        AnswerParams();
        break;
    case Request::GetMask:
        AnswerMask();
        break;
    case Request::GetTime:
        AnswerTime();
        break;
    case Request::GetGprsNet:
        AnswerGprsNet();
        break;
    case Request::GetGprsReport:
        AnswerGprsReport();
        break;
    case Request::ForceGprsReport:
        SendAnswer(Answer::ReportForced);
        if (onReportRequested)
            onReportRequested();
        break;
    case Request::GetFreqParams:
        AnswerFreqParams();
        break;
    case Request::SetPeriod:
        s.periodHours = p[0];
        s.periodMinutes = p[1];
        AnswerPeriod();
        if (measuring_ && onMeasuringChanged)
            onMeasuringChanged();
        break;
    case Request::SetParams:
        s.frequencyCode = Be24(p.subspan(0, 3));
        s.voltageCode = p[3];
        s.latencyCode = p[4];
        s.repeat = p[5];
        s.electrodeSystem = p[6];
        AnswerParams();
        break;
    case Request::SetMask:
        for (size_t board = 0; board < 8; ++board)
            s.masks[board] = qFromLittleEndian<uint16_t>(p.data() + 2 * board);
        AnswerMask();
        break;
    case Request::StartMeasure:
    case Request::StopMeasure:
        measuring_ = request == CodeOf(Request::StartMeasure);
        AnswerMeasureState();
        if (onMeasuringChanged)
            onMeasuringChanged();
        break;
    case Request::ClearMemory:
        memory_.clear();
        measurements_ = 0;
        reported_ = 0;
        ++generation_;
        SendAnswer(Answer::MemoryCleared);
        break;
    case Request::GetDataSize: {
        std::vector<uint8_t> data;
        AppendBig24(data, static_cast<uint32_t>(std::min<size_t>(memory_.size(), CounterMask)));
        SendAnswer(Answer::DataSize, data);
        break;
    }
    case Request::Download:
        SendDownload(p);
        break;
    case Request::SetTime:
        SetTimeFrom(p);
        AnswerTime();
        break;
    case Request::SetGprsNet:
        s.apn = FieldText(p.subspan(0, ApnFieldSize));
        s.serverIp = FieldText(p.subspan(ApnFieldSize, ServerIpFieldSize));
        AnswerGprsNet();
        break;
    case Request::SetGprsReport:
        s.reportHour = p[0];
        s.reportMinute = p[1];
        s.reportRetries = p[2];
        AnswerGprsReport();
        break;
    case Request::StartFreqMeasure:
        RunSweep();
        break;
    case Request::SetFreqParams:
        s.sweepBeginCode = Be24(p.subspan(0, 3));
        s.sweepEndCode = Be24(p.subspan(3, 3));
        s.sweepMultiplierCode = qFromBigEndian<uint16_t>(p.data() + 6);
        s.sweepVoltageCode = p[8];
        s.sweepBoard = p[9];
        s.sweepChannel = p[10];
        s.sweepRepeat = p[11];
        s.sweepElectrodeSystem = p[12];
        AnswerFreqParams();
        break;
    default:
        break;
    }
}

void LoggerCore::AnswerPeriod() {
    const uint8_t data[] = {settings_.periodHours, settings_.periodMinutes};
    SendAnswer(AnswerTo(Request::GetPeriod), data);
}

void LoggerCore::AnswerParams() {
    std::vector<uint8_t> data;
    AppendBig24(data, settings_.frequencyCode);
    data.insert(data.end(), {settings_.voltageCode, settings_.latencyCode, settings_.repeat,
                             settings_.electrodeSystem});
    SendAnswer(AnswerTo(Request::GetParams), data);
}

void LoggerCore::AnswerMask() {
    std::vector<uint8_t> data;
    for (uint16_t mask : settings_.masks)
        AppendLittle16(data, mask);
    SendAnswer(AnswerTo(Request::GetMask), data);
}

void LoggerCore::AnswerTime() {
    QDateTime now = clock_.Now();
    QDate d = now.date();
    QTime t = now.time();
    const uint8_t data[] = {static_cast<uint8_t>(t.second()),
                            static_cast<uint8_t>(t.minute()),
                            static_cast<uint8_t>(t.hour()),
                            static_cast<uint8_t>(dt::DayOfWeek(d.year(), d.month(), d.day())),
                            static_cast<uint8_t>(d.day()),
                            static_cast<uint8_t>(d.month()),
                            static_cast<uint8_t>(d.year() % 100),
                            static_cast<uint8_t>(d.year() / 100)};
    SendAnswer(AnswerTo(Request::GetTime), data);
}

void LoggerCore::AnswerGprsNet() {
    std::vector<uint8_t> data;
    PutField(data, settings_.apn, ApnFieldSize);
    PutField(data, settings_.serverIp, ServerIpFieldSize);
    SendAnswer(AnswerTo(Request::GetGprsNet), data);
}

void LoggerCore::AnswerGprsReport() {
    const uint8_t data[] = {settings_.reportHour, settings_.reportMinute, settings_.reportRetries};
    SendAnswer(AnswerTo(Request::GetGprsReport), data);
}

void LoggerCore::AnswerFreqParams() {
    const LoggerSettings& s = settings_;
    std::vector<uint8_t> data;
    AppendBig24(data, s.sweepBeginCode);
    AppendBig24(data, s.sweepEndCode);
    AppendBig16(data, s.sweepMultiplierCode);
    data.insert(data.end(), {s.sweepVoltageCode, s.sweepBoard, s.sweepChannel, s.sweepRepeat,
                             s.sweepElectrodeSystem});
    SendAnswer(AnswerTo(Request::GetFreqParams), data);
}

void LoggerCore::AnswerMeasureState() {
    const uint8_t state[] = {static_cast<uint8_t>(measuring_ ? 1 : 0)};
    SendAnswer(Answer::MeasureState, state);
}

void LoggerCore::SetTimeFrom(std::span<const uint8_t> p) {
    // The day of the week (p[4]) follows from the date; a date or time that cannot exist
    // leaves the clock as it was, and the answer shows the time still running.
    QDateTime time = CalendarTime(p[0] * 100 + p[1], p[2], p[3], p[5], p[6], p[7]);
    if (!time.isValid()) {
        Log(QString("SetTime with an impossible date or time ignored"));
        return;
    }
    clock_.Set(time);
    lastDailyCheck_ = time;
}

void LoggerCore::SendDownload(std::span<const uint8_t> p) {
    // Items are numbered from 1, as their counters are; item 0 is taken as the first.
    uint32_t first = std::max<uint32_t>(Be24(p.subspan(0, 3)), 1);
    uint32_t amount = Be24(p.subspan(3, 3));
    size_t begin = first - 1;
    size_t end = std::min(memory_.size(), begin + amount);
    for (size_t i = begin; i < end; ++i)
        SendAnswer(Answer::DownloadItem, memory_[i]);
}

void LoggerCore::RunSweep() {
    const LoggerSettings& s = settings_;
    const double volts = enc::VoltageFromCode(s.sweepVoltageCode);
    const QDateTime now = clock_.Now();
    const SweepSettings sweep{s.sweepBeginCode,   s.sweepEndCode,        s.sweepMultiplierCode,
                              s.sweepVoltageCode, s.sweepBoard,          s.sweepChannel,
                              s.sweepRepeat,      s.sweepElectrodeSystem};
    // The console reckons a sweep's last frequency by the same steps.
    for (uint32_t freqCode : SweepFrequencyCodes(sweep)) {
        Impedance z =
            synth_.Measure(s.sweepBoard & 0x0F, s.sweepChannel, enc::FrequencyFromCode(freqCode),
                           volts, s.sweepRepeat, s.sweepElectrodeSystem != 0, now);
        SweepPointBytes bytes =
            EncodeSweepPoint(s.sweepBoard, s.sweepChannel, EncodeImpedance(z.rx, z.xx), freqCode);
        SendAnswer(Answer::SweepPoint, bytes);
    }
}

void LoggerCore::MeasureCycle() {
    if (!measuring_)
        return;
    const LoggerSettings& s = settings_;
    double hz = enc::FrequencyFromCode(s.frequencyCode);
    double volts = enc::VoltageFromCode(s.voltageCode);
    QDateTime now = clock_.Now();
    for (int board = 0; board < BoardCount; ++board) {
        for (int channel = 0; channel < ChannelsPerBoard; ++channel) {
            if (!(s.masks[board] & (1u << channel)))
                continue;
            Impedance z =
                synth_.Measure(board, channel, hz, volts, s.repeat, s.electrodeSystem != 0, now);
            measurements_ = (measurements_ + 1) & CounterMask;
            MeasurementBytes bytes =
                EncodeMeasurement(board, channel, EncodeImpedance(z.rx, z.xx), now, measurements_);
            if (memory_.size() < MemoryCapacity)
                memory_.push_back(bytes);
            SendAnswer(Answer::Measurement, bytes);
        }
    }
}

void LoggerCore::CheckDailyReport() {
    QDateTime now = clock_.Now();
    bool due = DailyTimeReached(lastDailyCheck_, now, settings_.reportHour, settings_.reportMinute);
    if (now > lastDailyCheck_)
        lastDailyCheck_ = now;
    if (due && onReportRequested)
        onReportRequested();
}

ReportBatch LoggerCore::PrepareReport(bool allItems) const {
    ReportBatch batch;
    batch.generation = generation_;
    batch.upTo = memory_.size();
    size_t from = allItems ? 0 : std::min(reported_, memory_.size());
    batch.items = static_cast<int>(memory_.size() - from);
    batch.bytes = ReportStream(std::span(memory_).subspan(from));
    return batch;
}

void LoggerCore::MarkReported(const ReportBatch& batch) {
    if (batch.generation == generation_ && batch.upTo > reported_)
        reported_ = std::min(batch.upTo, memory_.size());
}

int64_t LoggerCore::PeriodMs() const {
    int64_t minutes = int64_t{settings_.periodHours} * 60 + settings_.periodMinutes;
    return std::max<int64_t>(minutes, 1) * 60000;
}

} // namespace logger
