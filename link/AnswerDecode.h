#pragma once
// The data of the logger's answers as values for the console's controls, and the payloads of
// the requests that the settings pages build. Answer decoders read fixed positions of the
// receiver's data area, which always holds at least 97 bytes.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include <QDateTime>
#include <QString>

#include "base/FormatSettings.h"
#include "records/DateTime.h"

// The number of data bytes the dispatcher reads of an answer with this code (0 for the codes it
// reads nothing of, and for unknown ones). A shorter answer must be dropped: its missing bytes
// would be what an earlier answer left in the data area.
int AnswerDataSize(uint8_t code);

// Answer 251: the logger's clock in the operator's short date (four-digit year) and long time
// formats with " - " between, or "unknown" for a date or time that cannot be. Reads bytes 0-7.
// Should that text not read back (ParseClockText) as the same clock, it is the dotted form.
QString ClockAnswerText(const uint8_t* d, const FormatSettings& fs);

// Answer 250: the access point name (bytes 0-30) and the server address (bytes 32-46), each up
// to its first zero byte, as Latin-1.
struct GprsNetValues {
    QString apn;
    QString serverIp;
};
GprsNetValues DecodeGprsNet(const uint8_t* d);

// Answer 247 and the payload of SetFreqParams share one layout: its codes as the wire carries
// them (board and channel 0-based). Reads bytes 0-12.
struct FreqParamsCodes {
    uint32_t begin = 0; // frequency codes
    uint32_t end = 0;
    uint16_t multiplier = 0;
    uint8_t voltage = 0;
    uint8_t board = 0;
    uint8_t channel = 0;
    uint8_t repeat = 0;
    uint8_t electrodeSystem = 0;
    bool operator==(const FreqParamsCodes&) const = default;
};
constexpr int FreqParamsSize = 13;
FreqParamsCodes ReadFreqParamsCodes(const uint8_t* d);

// The settings of answers 247, 253, 254 and 249 in the units of their controls, which the set
// requests send back. Whole numbers are kept as doubles: a control may hold a fraction as typed,
// and the request rounds it as the link does.

// Answer 247, in the units of the "Freq Range" controls.
struct FreqParamsValues {
    double begFreqHz = 0;
    double endFreqHz = 0;
    double multiplier = 0;
    double volts = 0;
    double board = 0;   // 1-based
    double channel = 0; // 1-based
    double repeat = 0;
    bool twoElectrodes = false;
};
FreqParamsValues DecodeFreqParams(const uint8_t* d);

// Answer 253, in the units of the "Measure parameters" controls.
struct ParamsValues {
    double freqHz = 0;
    double volts = 0;
    double latencyMs = 0;
    double repeat = 0;
    bool twoElectrodes = false;
};
ParamsValues DecodeParams(const uint8_t* d);

// Answer 254.
struct PeriodValues {
    double hours = 0;
    double minutes = 0;
};
PeriodValues DecodePeriod(const uint8_t* d);

// Answer 249.
struct ReportSettingsValues {
    double hour = 0;
    double minute = 0;
    double retries = 0;
};
ReportSettingsValues DecodeReportSettings(const uint8_t* d);

// Answer 252: sixteen masks, low byte first.
std::array<uint16_t, 16> DecodeMasks(const uint8_t* d);
// Answer 121: 24-bit big-endian count.
int32_t DecodeDataSize(const uint8_t* d);
// Answer 255: "%d.%d".
QString VersionText(const uint8_t* d);
// Answer 124: "Measure enabled" for a non-zero byte 0, else "Measure disabled".
QString MeasureStateText(const uint8_t* d);

// Request payloads (the bytes after the length byte). Values are rounded and encoded as the
// link does. A value whose code does not fit its field fails with a text naming the field and
// its range ("Number of retries 300 is out of range 0 to 255"), so nothing is sent.
// Hours and minutes of the measuring period.
std::vector<uint8_t> SetPeriodPayload(double hours, double minutes);
std::vector<uint8_t> SetParamsPayload(double hz, double volts, double latencyMs, double repeat,
                                      bool twoElectrodes);
// Board and channel are the 1-based numbers of the controls.
std::vector<uint8_t> SetFreqParamsPayload(double begHz, double endHz, double multiplier,
                                          double volts, double board, double channel, double repeat,
                                          bool twoElectrodes);
// Boards 1 to 8, low byte first.
std::vector<uint8_t> SetMaskPayload(std::span<const uint16_t, 8> masks);
// First item and number of items, 24 bits each, big-endian.
std::vector<uint8_t> DownloadPayload(double first, double amount);
// Report hour, report minute, number of retries.
std::vector<uint8_t> SetGprsReportPayload(double hour, double minute, double retries);
// Year div 100, year mod 100 (of the year as unsigned 16 bits), month, day, day of the week
// (1 = Sunday), hour, minute, second. Fails with "Invalid argument to date encode" for a date
// that does not exist, since it has no day of the week.
std::vector<uint8_t> SetTimePayload(int year, int month, int day, int hour, int minute, int second);
// A 32-byte access point field and a 16-byte address field: the text cut to 31 and 15
// characters (Latin-1), a zero byte after it, zeros to the end of the field.
std::vector<uint8_t> SetGprsNetPayload(const QString& apn, const QString& serverIp);

// The operator's "dd.mm.yyyy - hh:nn:ss" in ClockEd (milliseconds stay 0), or exactly the form
// ClockAnswerText shows in the formats fs.
using ClockFields = dt::DateTimeParts;
// Fails with "'%s' is not a valid integer value" for a piece that is not an integer, and with a
// text naming the field ("Invalid month in device time: 13", "Invalid date in device time: day
// 31 does not exist in month 2 of 2024", "Invalid hour in device time: 25") for a date or time
// that cannot be or a year of fewer than four digits, so that nothing is sent.
ClockFields ParseClockText(const QString& text, const FormatSettings& fs = {});
// ClockEd's text for the local clock ("Local"): "dd.mm.yyyy - hh:nn:ss", two-digit fields and a
// four-digit year.
QString ClockText(const QDateTime& local);
