#include "export/MeasurementRow.h"

#include <cmath>

#include "base/Rounding.h"
#include "data/BufferCellText.h"

namespace {

// The value before rounding: value * 1000, or 0 for the overflow mark.
double Scaled(double value) {
    return value == OverflowValue ? 0.0 : value * 1000;
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

QString MeasurementRow(const TMeasRecord& rec, const FormatSettings& fs) {
    // "dd.mm-hh:nn:ss": the date is its first five characters, the time its last eight.
    const QString when = RecordTimeText(rec.Time, fs);
    QString row;
    row.reserve(48);
    row += QString::number(rec.Counter);
    row += '\t';
    row += QStringView(when).left(5);
    row += '\t';
    row += QStringView(when).mid(6);
    row += '\t';
    row += QString::number(rec.Range);
    row += '\t';
    row += QString::number(SheetValue(rec.Rx));
    row += '\t';
    row += QString::number(SheetValue(rec.Xx));
    return row;
}
