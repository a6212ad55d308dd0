#include "tools/logger/LoggerCore.h"

#include <algorithm>
#include <cmath>

#include "base/Rounding.h"
#include "link/DateTime.h"
#include "link/Encodings.h"

namespace logger {

namespace {

// Payload bytes each request needs; shorter requests are ignored rather than filled with guesses.
size_t PayloadSize(uint8_t request) {
    switch (request) {
    case code::SetPeriod:
        return 2;
    case code::SetParams:
        return 7;
    case code::SetMask:
        return 16;
    case code::Download:
        return 6;
    case code::SetTime:
        return 8;
    case code::SetGprsNet:
        return ApnFieldSize + ServerIpFieldSize;
    case code::SetGprsReport:
        return 3;
    case code::SetFreqParams:
        return 13;
    default:
        return 0;
    }
}

bool Known(uint8_t request) {
    return request <= code::GetFreqParams ||
           (request >= code::SetPeriod && request <= code::SetFreqParams);
}

uint32_t Be24(std::span<const uint8_t> p) {
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

void PutBe24(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
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

void LoggerCore::Answer(uint8_t answer, std::span<const uint8_t> data) {
    if (onAnswer)
        onAnswer(frame::Build(frame::AnswerStart, answer, data));
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
    switch (request) {
    case code::GetVersion: {
        const uint8_t version[] = {FirmwareMajor, FirmwareMinor};
        Answer(255 - request, version);
        break;
    }
    case code::GetPeriod:
        AnswerPeriod();
        break;
    case code::GetParams:
        AnswerParams();
        break;
    case code::GetMask:
        AnswerMask();
        break;
    case code::GetTime:
        AnswerTime();
        break;
    case code::GetGprsNet:
        AnswerGprsNet();
        break;
    case code::GetGprsReport:
        AnswerGprsReport();
        break;
    case code::ForceGprsReport:
        Answer(255 - request);
        if (onReportRequested)
            onReportRequested();
        break;
    case code::GetFreqParams:
        AnswerFreqParams();
        break;
    case code::SetPeriod:
        s.periodHours = p[0];
        s.periodMinutes = p[1];
        AnswerPeriod();
        if (measuring_ && onMeasuringChanged)
            onMeasuringChanged();
        break;
    case code::SetParams:
        s.frequencyCode = Be24(p.subspan(0, 3));
        s.voltageCode = p[3];
        s.latencyCode = p[4];
        s.repeat = p[5];
        s.electrodeSystem = p[6];
        AnswerParams();
        break;
    case code::SetMask:
        for (size_t board = 0; board < 8; ++board)
            s.masks[board] = static_cast<uint16_t>(p[2 * board] | (p[2 * board + 1] << 8));
        AnswerMask();
        break;
    case code::StartMeasure:
    case code::StopMeasure:
        measuring_ = request == code::StartMeasure;
        AnswerMeasureState();
        if (onMeasuringChanged)
            onMeasuringChanged();
        break;
    case code::ClearMemory:
        memory_.clear();
        measurements_ = 0;
        reported_ = 0;
        ++generation_;
        Answer(code::MemoryCleared);
        break;
    case code::GetDataSize: {
        std::vector<uint8_t> data;
        PutBe24(data, static_cast<uint32_t>(std::min<size_t>(memory_.size(), CounterMask)));
        Answer(code::DataSize, data);
        break;
    }
    case code::Download:
        SendDownload(p);
        break;
    case code::SetTime:
        SetTimeFrom(p);
        AnswerTime();
        break;
    case code::SetGprsNet:
        s.apn = FieldText(p.subspan(0, ApnFieldSize));
        s.serverIp = FieldText(p.subspan(ApnFieldSize, ServerIpFieldSize));
        AnswerGprsNet();
        break;
    case code::SetGprsReport:
        s.reportHour = p[0];
        s.reportMinute = p[1];
        s.reportRetries = p[2];
        AnswerGprsReport();
        break;
    case code::StartFreqMeasure:
        RunSweep();
        break;
    case code::SetFreqParams:
        s.sweepBeginCode = Be24(p.subspan(0, 3));
        s.sweepEndCode = Be24(p.subspan(3, 3));
        s.sweepMultiplierCode = static_cast<uint16_t>((p[6] << 8) | p[7]);
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
    Answer(255 - code::GetPeriod, data);
}

void LoggerCore::AnswerParams() {
    std::vector<uint8_t> data;
    PutBe24(data, settings_.frequencyCode);
    data.insert(data.end(), {settings_.voltageCode, settings_.latencyCode, settings_.repeat,
                             settings_.electrodeSystem});
    Answer(255 - code::GetParams, data);
}

void LoggerCore::AnswerMask() {
    std::vector<uint8_t> data;
    for (uint16_t mask : settings_.masks) {
        data.push_back(static_cast<uint8_t>(mask));
        data.push_back(static_cast<uint8_t>(mask >> 8));
    }
    Answer(255 - code::GetMask, data);
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
    Answer(255 - code::GetTime, data);
}

void LoggerCore::AnswerGprsNet() {
    std::vector<uint8_t> data;
    PutField(data, settings_.apn, ApnFieldSize);
    PutField(data, settings_.serverIp, ServerIpFieldSize);
    Answer(255 - code::GetGprsNet, data);
}

void LoggerCore::AnswerGprsReport() {
    const uint8_t data[] = {settings_.reportHour, settings_.reportMinute, settings_.reportRetries};
    Answer(255 - code::GetGprsReport, data);
}

void LoggerCore::AnswerFreqParams() {
    const LoggerSettings& s = settings_;
    std::vector<uint8_t> data;
    PutBe24(data, s.sweepBeginCode);
    PutBe24(data, s.sweepEndCode);
    data.insert(data.end(), {static_cast<uint8_t>(s.sweepMultiplierCode >> 8),
                             static_cast<uint8_t>(s.sweepMultiplierCode), s.sweepVoltageCode,
                             s.sweepBoard, s.sweepChannel, s.sweepRepeat, s.sweepElectrodeSystem});
    Answer(255 - code::GetFreqParams, data);
}

void LoggerCore::AnswerMeasureState() {
    const uint8_t state[] = {static_cast<uint8_t>(measuring_ ? 1 : 0)};
    Answer(code::MeasureState, state);
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
        Answer(code::DownloadItem, memory_[i]);
}

void LoggerCore::RunSweep() {
    const LoggerSettings& s = settings_;
    double multiplier = enc::MultiplierFromCode(s.sweepMultiplierCode);
    double volts = enc::VoltageFromCode(s.sweepVoltageCode);
    QDateTime now = clock_.Now();
    uint32_t previous = 0;
    // Frequencies from the begin value up to the end value, each the begin value times a power
    // of the multiplier; a multiplier that does not raise the frequency ends after one point.
    for (int k = 0; k < MaxSweepPoints; ++k) {
        double exact = s.sweepBeginCode * std::pow(multiplier, k);
        if (exact > s.sweepEndCode || exact > CounterMask)
            break;
        uint32_t freqCode = static_cast<uint32_t>(Round(exact));
        if (k > 0 && freqCode <= previous)
            break;
        previous = freqCode;
        Impedance z =
            synth_.Measure(s.sweepBoard & 0x0F, s.sweepChannel, enc::FrequencyFromCode(freqCode),
                           volts, s.sweepRepeat, s.sweepElectrodeSystem != 0, now);
        SweepPointBytes bytes =
            EncodeSweepPoint(s.sweepBoard, s.sweepChannel, EncodeImpedance(z.rx, z.xx), freqCode);
        Answer(code::SweepPoint, bytes);
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
            Answer(code::Measurement, bytes);
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
    batch.bytes.reserve(batch.items * static_cast<qsizetype>(sizeof(ReportItemBytes)));
    for (size_t i = from; i < memory_.size(); ++i) {
        ReportItemBytes item = ReportItem(memory_[i]);
        batch.bytes.append(reinterpret_cast<const char*>(item.data()),
                           static_cast<qsizetype>(item.size()));
    }
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
