#pragma once
// Records for the buffer tests, with times built the way the decoder builds them.
#include <QString>
#include <ostream>

#include "records/DateTime.h"
#include "records/MeasRecord.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace buffertest {

inline double At(int year, int month, int day, int hour, int minute, int second) {
    return dt::ComposeDateTime(dt::EncodeDate(year, month, day),
                               dt::EncodeTime(hour, minute, second));
}

inline TMeasRecord Record(int counter, int board, int channel, int range, double rx, double xx,
                          double time) {
    TMeasRecord r;
    r.Board = board;
    r.Channel = channel;
    r.Range = range;
    r.Rx = rx;
    r.Xx = xx;
    r.Counter = counter;
    r.Time = time;
    return r;
}

// Item k of a pool filled by Numbered(): every field tells k apart (Counter 1000 + k, Rx k / 4).
inline TMeasRecord Numbered(int k) {
    return Record(1000 + k, k % 16, k % 256, k % 4, 0.25 * k, -0.125 * k,
                  At(2026, 1 + k % 12, 1 + k % 28, k % 24, k % 60, (k * 7) % 60));
}

} // namespace buffertest
