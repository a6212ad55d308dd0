#include "archive/ArchiveRow.h"

#include <cmath>
#include <cstring>

#include "records/DateTime.h"

namespace {

char* Digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Writes the ISO 8601 text of a date-time value; 0 when the value is no date.
int FormatLoggerTime(double value, char* out) {
    const Result<dt::DateTimeParts> decoded = dt::TryDecodeDateTime(value);
    if (!decoded)
        return 0;
    const dt::DateTimeParts& p = *decoded;
    char* o = Digits(out, p.year, 4);
    *o++ = '-';
    o = Digits(o, p.month, 2);
    *o++ = '-';
    o = Digits(o, p.day, 2);
    *o++ = 'T';
    o = Digits(o, p.hour, 2);
    *o++ = ':';
    o = Digits(o, p.minute, 2);
    *o++ = ':';
    o = Digits(o, p.second, 2);
    if (p.msec != 0) {
        *o++ = '.';
        o = Digits(o, p.msec, 3);
    }
    return static_cast<int>(o - out);
}

// The decimal number of `width` digits at `at`, or -1.
int Number(std::string_view text, size_t at, size_t width) {
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The value of an ISO 8601 text as FormatLoggerTime writes it; 0 for anything else.
double ParseLoggerTime(std::string_view text) {
    const bool shape = (text.size() == 19 || (text.size() == 23 && text[19] == '.')) &&
                       text[4] == '-' && text[7] == '-' && text[10] == 'T' && text[13] == ':' &&
                       text[16] == ':';
    if (!shape)
        return 0;
    // Arrivals come in runs of one day: the date's value is kept from the row before.
    thread_local char lastDate[10] = {};
    thread_local double lastDateValue = 0;
    thread_local bool lastDateValid = false;
    if (!lastDateValid || std::memcmp(lastDate, text.data(), sizeof lastDate) != 0) {
        const int y = Number(text, 0, 4), mo = Number(text, 5, 2), d = Number(text, 8, 2);
        lastDateValid = y >= 0 && mo >= 0 && d >= 0 && dt::IsValidDate(y, mo, d);
        if (!lastDateValid)
            return 0;
        lastDateValue = dt::EncodeDate(y, mo, d);
        std::memcpy(lastDate, text.data(), sizeof lastDate);
    }
    const int h = Number(text, 11, 2), mi = Number(text, 14, 2), s = Number(text, 17, 2);
    const int ms = text.size() == 23 ? Number(text, 20, 3) : 0;
    if (h < 0 || mi < 0 || s < 0 || ms < 0 || !dt::IsValidTime(h, mi, s, ms))
        return 0;
    return dt::ComposeDateTime(lastDateValue, dt::EncodeTime(h, mi, s, ms));
}

// A real as SQLite gives it back: NaN becomes NULL, and a whole value is kept as an integer,
// which loses the sign of a negative zero.
std::optional<double> AsStored(std::optional<double> v) {
    if (!v || std::isnan(*v))
        return std::nullopt;
    return *v == 0 ? 0.0 : *v;
}

} // namespace

const char* SourceName(ArrivalSource source) {
    switch (source) {
    case ArrivalSource::Live:
        return "live";
    case ArrivalSource::Download:
        return "download";
    case ArrivalSource::Report:
        return "report";
    case ArrivalSource::Restored:
        return "restored";
    case ArrivalSource::Fleet:
        return "fleet";
    }
    return "?";
}

ArchiveRow RowOf(const TMeasRecord& rec, ArrivalSource source) {
    ArchiveRow row;
    row.board = int64_t{rec.Board} + 1;
    row.channel = int64_t{rec.Channel} + 1;
    row.range = rec.Range;
    // Copied out first: the record is packed, its doubles not aligned for a reference.
    const double rx = rec.Rx, xx = rec.Xx;
    const int64_t counter = rec.Counter;
    if (rx != OverflowValue)
        row.rx = rx;
    if (xx != OverflowValue)
        row.xx = xx;
    // Reports carry no counter, nor does the collector keep one.
    if (source != ArrivalSource::Report && source != ArrivalSource::Fleet)
        row.counter = counter;
    row.loggerTimeLength = FormatLoggerTime(rec.Time, row.loggerTime);
    // Whatever the columns cannot say (a negative zero, a report record's counter, a time between
    // milliseconds, a board number past int32) is kept in the image.
    const TMeasRecord back = RecordOf(row.board, row.channel, row.range, AsStored(row.rx),
                                      AsStored(row.xx), row.counter, row.LoggerTime(), {});
    row.needsImage = std::memcmp(&back, &rec, sizeof rec) != 0;
    return row;
}

TMeasRecord RecordOf(int64_t board, int64_t channel, int32_t range, std::optional<double> rx,
                     std::optional<double> xx, std::optional<int64_t> counter,
                     std::string_view loggerTime, std::span<const uint8_t> image) {
    TMeasRecord rec;
    if (image.size() == sizeof rec) {
        std::memcpy(&rec, image.data(), sizeof rec);
        return rec;
    }
    rec.Board = static_cast<int32_t>(board - 1);
    rec.Channel = static_cast<int32_t>(channel - 1);
    rec.Range = range;
    rec.Rx = rx.value_or(OverflowValue);
    rec.Xx = xx.value_or(OverflowValue);
    rec.Counter = static_cast<int32_t>(counter.value_or(0));
    rec.Time = ParseLoggerTime(loggerTime);
    return rec;
}
