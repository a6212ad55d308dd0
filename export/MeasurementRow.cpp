#include "export/MeasurementRow.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "base/Rounding.h"
#include "records/DateTime.h"

namespace {

// The value before rounding: value * 1000, or 0 for the overflow mark.
double Scaled(double value) {
    return value == OverflowValue ? 0.0 : value * 1000;
}

char* PutInt(char* p, int64_t value) {
    return std::to_chars(p, p + 20, value).ptr;
}

char* PutTwoDigits(char* p, int value) {
    p[0] = char('0' + value / 10 % 10);
    p[1] = char('0' + value % 10);
    return p + 2;
}

// The character's UTF-8 bytes; half a surrogate pair is no character.
int Utf8(QChar c, char* out) {
    const char16_t u = c.unicode();
    if (u < 0x80) {
        out[0] = char(u);
        return 1;
    }
    if (u < 0x800) {
        out[0] = char(0xC0 | u >> 6);
        out[1] = char(0x80 | (u & 0x3F));
        return 2;
    }
    if (c.isSurrogate()) {
        out[0] = '?';
        return 1;
    }
    out[0] = char(0xE0 | u >> 12);
    out[1] = char(0x80 | (u >> 6 & 0x3F));
    out[2] = char(0x80 | (u & 0x3F));
    return 3;
}

// The first day after the calendar's last, 1 January 10000.
constexpr double EndOfDays = 2958466;

// The date and second the row shows as a spreadsheet counts them: days since 30 December 1899
// on one straight line (so before that day the time of day counts forward, unlike in a record:
// -1.25 is 29 December 06:00 in a record, -0.75 in a sheet), as the double nearest to it, in the
// shortest decimal that reads back as that double. Being the shown second itself, not the
// stored time cut to some decimals, it shows that second in every program, whether it rounds
// the fraction of a second or cuts it off.
char* PutTimestamp(char* p, const RecordClock& c, double day) {
    const int64_t seconds = int64_t(day) * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
    return std::to_chars(p, p + 32, double(seconds) / 86400.0, std::chars_format::fixed).ptr;
}

} // namespace

int64_t SheetValue(double value) {
    const double v = Scaled(value);
    if (std::isnan(v))
        return 0;
    // 2^63 is the first double outside int64; converting it or beyond is undefined.
    if (v >= 9223372036854775808.0)
        return INT64_MAX;
    if (v < -9223372036854775808.0)
        return INT64_MIN;
    return Round(v);
}

bool SelectedForSheet(const TMeasRecord& rec, int board, int sheet, bool skipVoid) {
    if (static_cast<int64_t>(rec.Channel) + 1 != sheet ||
        static_cast<int64_t>(rec.Board) + 1 != board)
        return false;
    return !(skipVoid && Scaled(rec.Rx) == 0 && Scaled(rec.Xx) == 0);
}

MeasurementRowWriter::MeasurementRowWriter(const FormatSettings& fs)
    : separatorBytes_(Utf8(fs.timeSeparator, separator_)) {}

std::optional<RecordClock> MeasurementRowWriter::Clock(double time) {
    // A time after 30 December 1899 whose rounding stays within its day, split as the decoder
    // splits it: milliseconds rounded, then the second rounded from them.
    if (time >= 0 && time < EndOfDays) {
        const double whole = std::trunc(time);
        const int64_t second = (std::llround((time - whole) * 86400000.0) + 500) / 1000;
        if (second < 86400) {
            if (whole != day_) {
                const std::optional<RecordClock> date = RecordClockOf(whole);
                if (!date)
                    return RecordClockOf(time);
                day_ = whole;
                dayOfMonth_ = date->day;
                month_ = date->month;
                year_ = date->year;
            }
            return RecordClock{dayOfMonth_,           month_,           int(second / 3600),
                               int(second / 60 % 60), int(second % 60), year_};
        }
    }
    return RecordClockOf(time);
}

double MeasurementRowWriter::DayOf(const RecordClock& c) {
    if (c.day != dayOfMonth_ || c.month != month_ || c.year != year_)
        return dt::EncodeDate(c.year, c.month, c.day);
    return day_;
}

char* MeasurementRowWriter::Put(char* out, const TMeasRecord& rec) {
    // The longest row, every number at its longest and separators of three bytes, is about 110
    // bytes.
    const auto sep = [this](char* p) {
        for (int i = 0; i < separatorBytes_; ++i)
            *p++ = separator_[i];
        return p;
    };
    char* p = PutInt(out, rec.Counter);
    *p++ = '\t';
    // The date and the clock as the buffer's time column shows them.
    const std::optional<RecordClock> c = Clock(rec.Time);
    if (c) {
        p = PutTwoDigits(p, c->day);
        *p++ = '.';
        p = PutTwoDigits(p, c->month);
        *p++ = '\t';
        p = PutTwoDigits(sep(PutTwoDigits(sep(PutTwoDigits(p, c->hour)), c->minute)), c->second);
    } else {
        for (const char* q = "??.??\t??"; *q; ++q)
            *p++ = *q;
        p = sep(p);
        *p++ = '?';
        *p++ = '?';
        p = sep(p);
        *p++ = '?';
        *p++ = '?';
    }
    *p++ = '\t';
    p = PutInt(p, rec.Range);
    *p++ = '\t';
    p = PutInt(p, SheetValue(rec.Rx));
    *p++ = '\t';
    p = PutInt(p, SheetValue(rec.Xx));
    *p++ = '\t';
    if (c)
        p = PutTimestamp(p, *c, DayOf(*c));
    return p;
}
