#include "link/AnswerDecode.h"

#include <QDate>
#include <QTime>
#include <optional>

#include "base/Failure.h"
#include "base/GetField.h"
#include "base/Rounding.h"
#include "base/StrToInt.h"
#include "link/Encodings.h"
#include "link/ProtocolCodes.h"
#include "link/WireField.h"
#include "records/DateTime.h"
#include "records/WireBytes.h"

namespace {

// Text of a field up to its first zero byte; the last byte always ends it.
QString TextField(const uint8_t* d, int size) {
    int n = 0;
    while (n < size - 1 && d[n] != 0)
        ++n;
    return QString::fromLatin1(reinterpret_cast<const char*>(d), n);
}

void PutTextField(std::vector<uint8_t>& out, const QString& text, int size) {
    const QByteArray bytes = text.left(size - 1).toLatin1();
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.insert(out.end(), static_cast<size_t>(size - bytes.size()), 0);
}

uint8_t Low8(int64_t v) {
    return static_cast<uint8_t>(v);
}

// The request fields that carry the console's numbers. Fields holding a count take it rounded.
constexpr int64_t Max24 = 0xFFFFFF;
constexpr WireField PeriodHours{"Measure period hours", 0, 255, 255};
constexpr WireField PeriodMinutes{"Measure period minutes", 0, 255, 255};
constexpr WireField Repeat{"Repeat", 0, 255, 255};
constexpr WireField Board{"Board", 1, 256, 255};
constexpr WireField Channel{"Channel", 1, 256, 255};
constexpr WireField FirstItem{"First item", 0, Max24, Max24};
constexpr WireField ItemCount{"Amount", 0, Max24, Max24};
constexpr WireField ReportHour{"Report hour", 0, 255, 255};
constexpr WireField ReportMinute{"Report minute", 0, 255, 255};
constexpr WireField Retries{"Number of retries", 0, 255, 255};
constexpr WireField Latency{"Switch latency", 0, 25500, 255};
// Fields whose range is a decoded code.
const WireField Frequency{"Frequency", 0, enc::FrequencyFromCode(Max24), Max24};
const WireField BeginFrequency{"Begin frequency", 0, enc::FrequencyFromCode(Max24), Max24};
const WireField EndFrequency{"End frequency", 0, enc::FrequencyFromCode(Max24), Max24};
const WireField Multiplier{"Step multiplier", 0, enc::MultiplierFromCode(0xFFFF), 0xFFFF};
const WireField Voltage{"Voltage", enc::VoltageFromCode(0), enc::VoltageFromCode(255), 255};

uint8_t Byte(const WireField& field, double value) {
    return static_cast<uint8_t>(FieldCode(field, value, Round));
}

uint8_t VoltageByte(double volts) {
    return static_cast<uint8_t>(FieldCode(Voltage, volts, enc::VoltageCode));
}

[[noreturn]] void BadClock(const char* field, const QString& detail) {
    throw Failure(QString("Invalid %1 in device time: %2").arg(QLatin1String(field), detail));
}

QString DottedClockText(const QDate& d, const QTime& t) {
    return QString::asprintf("%.2d.%.2d.%.4d - %.2d:%.2d:%.2d", d.day(), d.month(), d.year(),
                             t.hour(), t.minute(), t.second());
}

QString ShownClockText(const QDate& d, const QTime& t, const FormatSettings& fs) {
    return d.toString(fs.shortDateFormat) + " - " + t.toString(fs.longTimeFormat);
}

// "dd.mm.yyyy - hh:nn:ss" piece by piece; fails on the first piece that is not an integer.
ClockFields DottedClock(const QString& text, QString& yearPiece) {
    ClockFields c;
    c.day = StrToInt(GetField(text, '.', 1));
    c.month = StrToInt(GetField(text, '.', 2));
    yearPiece = GetField(GetField(text, '.', 3), ' ', 1);
    c.year = StrToInt(yearPiece);
    const QString t = GetField(text, ' ', 3);
    c.hour = StrToInt(GetField(t, ':', 1));
    c.minute = StrToInt(GetField(t, ':', 2));
    c.second = StrToInt(GetField(t, ':', 3));
    return c;
}

// The text exactly as ShownClockText makes it. Date and time are read apart, so that no time
// zone moves a local time that a clock change skips.
std::optional<ClockFields> ShownClock(const QString& text, const FormatSettings& fs) {
    for (qsizetype at = text.indexOf(" - "); at >= 0; at = text.indexOf(" - ", at + 1)) {
        const QDate d = QDate::fromString(text.left(at), fs.shortDateFormat);
        const QTime t = QTime::fromString(text.mid(at + 3), fs.longTimeFormat);
        if (d.isValid() && t.isValid()) {
            ClockFields c;
            c.year = d.year();
            c.month = d.month();
            c.day = d.day();
            c.hour = t.hour();
            c.minute = t.minute();
            c.second = t.second();
            return c;
        }
    }
    return std::nullopt;
}

} // namespace

int AnswerDataSize(uint8_t code) {
    // Data bytes each answer the console reads needs; the others carry nothing it reads.
    static constexpr struct {
        Answer answer;
        int bytes;
    } Sizes[] = {
        {Answer::Measurement, 13}, {Answer::DownloadItem, 13}, {Answer::FreqParams, FreqParamsSize},
        {Answer::SweepPoint, 10},  {Answer::DataSize, 3},      {Answer::ReportSettings, 3},
        {Answer::MeasureState, 1}, {Answer::GprsNet, 48},      {Answer::Time, 8},
        {Answer::Mask, 32},        {Answer::Params, 7},        {Answer::Period, 2},
        {Answer::Version, 2},
    };
    for (const auto& s : Sizes)
        if (CodeOf(s.answer) == code)
            return s.bytes;
    return 0;
}

QString ClockAnswerText(const uint8_t* d, const FormatSettings& fs) {
    const int year = d[7] * 100 + d[6];
    if (!dt::IsValidDate(year, d[5], d[4]) || !dt::IsValidTime(d[2], d[1], d[0]))
        return QStringLiteral("unknown");
    const QDate date(year, d[5], d[4]);
    const QTime time(d[2], d[1], d[0]);
    const QString shown = ShownClockText(date, time, fs);
    // "Get" then "Set" must give the logger its own time back; should the operator's formats
    // not read back as the same clock, the dotted form shows it.
    try {
        const ClockFields c = ParseClockText(shown, fs);
        if (QDate(c.year, c.month, c.day) == date && QTime(c.hour, c.minute, c.second) == time)
            return shown;
    } catch (const Failure&) {
    }
    return DottedClockText(date, time);
}

GprsNetValues DecodeGprsNet(const uint8_t* d) {
    return {TextField(d, 32), TextField(d + 32, 16)};
}

FreqParamsCodes ReadFreqParamsCodes(const uint8_t* d) {
    return {
        ReadBig24(d), ReadBig24(d + 3), qFromBigEndian<uint16_t>(d + 6), d[8], d[9], d[10], d[11],
        d[12]};
}

FreqParamsValues DecodeFreqParams(const uint8_t* d) {
    const FreqParamsCodes c = ReadFreqParamsCodes(d);
    FreqParamsValues v;
    v.begFreqHz = enc::FrequencyFromCode(c.begin);
    v.endFreqHz = enc::FrequencyFromCode(c.end);
    v.multiplier = enc::MultiplierFromCode(c.multiplier);
    v.volts = enc::VoltageFromCode(c.voltage);
    v.board = c.board + 1;
    v.channel = c.channel + 1;
    v.repeat = c.repeat;
    v.twoElectrodes = enc::ElectrodeSystemFromCode(c.electrodeSystem);
    return v;
}

ParamsValues DecodeParams(const uint8_t* d) {
    ParamsValues v;
    v.freqHz = enc::FrequencyFromCode(ReadBig24(d));
    v.volts = enc::VoltageFromCode(d[3]);
    v.latencyMs = enc::LatencyFromCode(d[4]);
    v.repeat = d[5];
    v.twoElectrodes = enc::ElectrodeSystemFromCode(d[6]);
    return v;
}

PeriodValues DecodePeriod(const uint8_t* d) {
    return {double(d[0]), double(d[1])};
}

ReportSettingsValues DecodeReportSettings(const uint8_t* d) {
    return {double(d[0]), double(d[1]), double(d[2])};
}

std::array<uint16_t, 16> DecodeMasks(const uint8_t* d) {
    std::array<uint16_t, 16> masks{};
    for (size_t i = 0; i < masks.size(); ++i)
        masks[i] = qFromLittleEndian<uint16_t>(d + 2 * i);
    return masks;
}

int32_t DecodeDataSize(const uint8_t* d) {
    return static_cast<int32_t>(ReadBig24(d));
}

QString VersionText(const uint8_t* d) {
    return QString::asprintf("%d.%d", d[0], d[1]);
}

QString MeasureStateText(const uint8_t* d) {
    return d[0] != 0 ? QStringLiteral("Measure enabled") : QStringLiteral("Measure disabled");
}

std::vector<uint8_t> SetPeriodPayload(double hours, double minutes) {
    return {Byte(PeriodHours, hours), Byte(PeriodMinutes, minutes)};
}

std::vector<uint8_t> SetParamsPayload(double hz, double volts, double latencyMs, double repeat,
                                      bool twoElectrodes) {
    std::vector<uint8_t> out;
    AppendBig24(out, static_cast<uint32_t>(FieldCode(Frequency, hz, enc::FrequencyCode)));
    out.push_back(VoltageByte(volts));
    out.push_back(static_cast<uint8_t>(FieldCode(Latency, latencyMs, enc::LatencyCode)));
    out.push_back(Byte(Repeat, repeat));
    out.push_back(enc::ElectrodeSystemCode(twoElectrodes));
    return out;
}

std::vector<uint8_t> SetFreqParamsPayload(double begHz, double endHz, double multiplier,
                                          double volts, double board, double channel, double repeat,
                                          bool twoElectrodes) {
    std::vector<uint8_t> out;
    AppendBig24(out, static_cast<uint32_t>(FieldCode(BeginFrequency, begHz, enc::FrequencyCode)));
    AppendBig24(out, static_cast<uint32_t>(FieldCode(EndFrequency, endHz, enc::FrequencyCode)));
    AppendBig16(out, static_cast<uint16_t>(FieldCode(Multiplier, multiplier, enc::MultiplierCode)));
    out.push_back(VoltageByte(volts));
    out.push_back(static_cast<uint8_t>(FieldCode(Board, board, enc::IndexCode)));
    out.push_back(static_cast<uint8_t>(FieldCode(Channel, channel, enc::IndexCode)));
    out.push_back(Byte(Repeat, repeat));
    out.push_back(enc::ElectrodeSystemCode(twoElectrodes));
    return out;
}

std::vector<uint8_t> SetMaskPayload(std::span<const uint16_t, 8> masks) {
    std::vector<uint8_t> out;
    for (uint16_t m : masks)
        AppendLittle16(out, m);
    return out;
}

std::vector<uint8_t> DownloadPayload(double first, double amount) {
    std::vector<uint8_t> out;
    AppendBig24(out, static_cast<uint32_t>(FieldCode(FirstItem, first, Round)));
    AppendBig24(out, static_cast<uint32_t>(FieldCode(ItemCount, amount, Round)));
    return out;
}

std::vector<uint8_t> SetGprsReportPayload(double hour, double minute, double retries) {
    return {Byte(ReportHour, hour), Byte(ReportMinute, minute), Byte(Retries, retries)};
}

std::vector<uint8_t> SetTimePayload(int year, int month, int day, int hour, int minute,
                                    int second) {
    const int weekday = dt::DayOfWeek(year, month, day);
    const uint16_t y = static_cast<uint16_t>(year);
    return {Low8(y / 100), Low8(y % 100), Low8(month),  Low8(day),
            Low8(weekday), Low8(hour),    Low8(minute), Low8(second)};
}

std::vector<uint8_t> SetGprsNetPayload(const QString& apn, const QString& serverIp) {
    std::vector<uint8_t> out;
    PutTextField(out, apn, 32);
    PutTextField(out, serverIp, 16);
    return out;
}

ClockFields ParseClockText(const QString& text, const FormatSettings& fs) {
    ClockFields c;
    QString yearPiece; // as typed in the dotted form
    try {
        c = DottedClock(text, yearPiece);
    } catch (const Failure&) {
        // Not the dotted form: the form "Get" shows in the operator's formats, else the
        // conversion failure of the dotted form.
        const std::optional<ClockFields> shown = ShownClock(text, fs);
        if (!shown)
            throw;
        c = *shown;
        yearPiece.clear(); // the shown form always has four digits
    }

    // A date or time that cannot be would reach the logger's clock as it stands.
    if (c.year < 1 || c.year > 9999)
        BadClock("year", Int(c.year));
    // A two-digit year would set the logger to the first century.
    if (!yearPiece.isEmpty() && yearPiece.size() < 4)
        BadClock("year", yearPiece + " (four digits needed)");
    if (c.month < 1 || c.month > 12)
        BadClock("month", Int(c.month));
    if (!dt::IsValidDate(c.year, c.month, c.day))
        BadClock(
            "date",
            QString("day %1 does not exist in month %2 of %3").arg(c.day).arg(c.month).arg(c.year));
    if (c.hour < 0 || c.hour > 23)
        BadClock("hour", Int(c.hour));
    if (c.minute < 0 || c.minute > 59)
        BadClock("minute", Int(c.minute));
    if (c.second < 0 || c.second > 59)
        BadClock("second", Int(c.second));
    return c;
}

QString ClockText(const QDateTime& local) {
    return DottedClockText(local.date(), local.time());
}
