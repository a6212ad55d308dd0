#include "buffer/BufferCellText.h"

#include <QStringList>
#include <array>

#include "records/DateTime.h"

namespace {

struct Column {
    const char* title;
    int width;
};

constexpr std::array<Column, BufferColumnCount> Columns{{
    {"Item", 50},
    {"Id", 70},
    {"Time", 110},
    {"Board", 60},
    {"Channel", 60},
    {"Range", 60},
    {"R", 110},
    {"X", 110},
}};

bool IsColumn(int column) {
    return column >= 0 && column < BufferColumnCount;
}

void PutTwoDigits(QChar* out, int value) {
    out[0] = QChar(char16_t(u'0' + value / 10 % 10));
    out[1] = QChar(char16_t(u'0' + value % 10));
}

} // namespace

QString BufferHeaderTitle(int column) {
    return IsColumn(column) ? QString::fromLatin1(Columns[static_cast<size_t>(column)].title)
                            : QString();
}

int BufferColumnWidth(int column) {
    return IsColumn(column) ? Columns[static_cast<size_t>(column)].width : 0;
}

std::optional<RecordClock> RecordClockOf(double dateTime) {
    const Result<dt::DateTimeParts> decoded = dt::TryDecodeDateTime(dateTime);
    if (!decoded)
        return std::nullopt;
    const dt::DateTimeParts& p = *decoded;
    RecordClock c{p.day, p.month, p.hour, p.minute, p.second, p.year};
    // The decoder rounds to milliseconds; the display rounds to the nearest second, so that a
    // time stored a hair below a whole second does not show the second before it.
    if (p.msec < 500)
        return c;
    if (++c.second < 60)
        return c;
    c.second = 0;
    if (++c.minute < 60)
        return c;
    c.minute = 0;
    if (++c.hour < 24)
        return c;
    if (p.year == 9999 && p.month == 12 && p.day == 31) {
        // No next day to carry into: keep the last second of the calendar.
        return RecordClock{31, 12, 23, 59, 59, 9999};
    }
    const dt::DateTimeParts next = dt::DecodeDateTime(dt::EncodeDate(p.year, p.month, p.day) + 1);
    return RecordClock{next.day, next.month, 0, 0, 0, next.year};
}

QString RecordTimeText(double dateTime, const FormatSettings& fs) {
    const QChar sep = fs.timeSeparator;
    const std::optional<RecordClock> c = RecordClockOf(dateTime);
    if (!c) {
        QString text = QStringLiteral("\?\?.\?\?-\?\?:\?\?:\?\?");
        text[8] = sep;
        text[11] = sep;
        return text;
    }
    QString text(14, Qt::Uninitialized);
    QChar* out = text.data();
    PutTwoDigits(out, c->day);
    out[2] = '.';
    PutTwoDigits(out + 3, c->month);
    out[5] = '-';
    PutTwoDigits(out + 6, c->hour);
    out[8] = sep;
    PutTwoDigits(out + 9, c->minute);
    out[11] = sep;
    PutTwoDigits(out + 12, c->second);
    return text;
}

QString BufferCellText(const TMeasRecord& rec, int64_t item, int column, const FormatSettings& fs) {
    switch (column) {
    case 0:
        return Int(item);
    case 1:
        return Int(rec.Counter);
    case 2:
        return RecordTimeText(rec.Time, fs);
    case 3:
        return Int(static_cast<long long>(rec.Board) + 1);
    case 4:
        return Int(static_cast<long long>(rec.Channel) + 1);
    case 5:
        return Int(rec.Range);
    case 6:
        // Exactly the decoder's overflow mark; 6553.5 (an overflow divided by ten) is a number.
        return rec.Rx == OverflowValue ? QStringLiteral("open") : Fixed2(rec.Rx * 1000, fs);
    case 7:
        return rec.Xx == OverflowValue ? QStringLiteral("N/A") : Fixed2(rec.Xx * 1000, fs);
    default:
        return QString();
    }
}

QString BufferItemSummary(const TMeasRecord& rec, int64_t item, std::initializer_list<int> columns,
                          const FormatSettings& fs) {
    QStringList parts;
    for (int column : columns)
        parts << BufferHeaderTitle(column) + QLatin1Char(' ') +
                     BufferCellText(rec, item, column, fs);
    return parts.join(QStringLiteral("  "));
}
