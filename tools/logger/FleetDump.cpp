#include "tools/logger/FleetDump.h"

#include <QLocale>

#include "records/DateTime.h"
#include "records/MeasDecode.h"

namespace logger {

namespace {

QByteArray ValueText(std::optional<double> v) {
    return v ? QByteArray::number(*v, 'g', QLocale::FloatingPointShortest) : "void";
}

std::optional<double> Value(double v) {
    return IsOverflowMark(v) ? std::nullopt : std::optional<double>(v);
}

} // namespace

QByteArray FleetItemLine(const QString& address, int board, int channel, const QString& loggerTime,
                         int range, std::optional<double> rx, std::optional<double> xx) {
    return address.toLatin1() + '\t' + QByteArray::number(board) + '\t' +
           QByteArray::number(channel) + '\t' + loggerTime.toLatin1() + '\t' +
           QByteArray::number(range) + '\t' + ValueText(rx) + '\t' + ValueText(xx);
}

QByteArray FleetItemLine(const QString& address, const TMeasRecord& record) {
    const dt::DateTimeParts t = dt::DecodeDateTime(record.Time);
    const QString time = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                                           t.hour, t.minute, t.second);
    return FleetItemLine(address, record.Board + 1, record.Channel + 1, time, record.Range,
                         Value(record.Rx), Value(record.Xx));
}

} // namespace logger
