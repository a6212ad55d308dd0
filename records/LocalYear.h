#pragma once
// The current year of the computer's local clock, which the logger's records lack. Reading the
// local date looks at the time zone (a stat of the zone file) every time, too dear for every
// item of a report that brings a million a second; this keeps the span of the year it read last
// and reads again when the clock leaves it, so an item after New Year gets the new year at once,
// and once a second besides, so a changed time zone is seen. Far from those moments a coarse
// clock (the kernel's last tick, no hardware read) is enough to tell.
#include <QtGlobal>

class LocalYear {
public:
    // The wall clock, milliseconds since 1970 UTC.
    using Clock = qint64 (*)();
    // A clock given (tests) serves as both the exact and the coarse one.
    explicit LocalYear(Clock now = nullptr);

    int Current();

private:
    Clock now_;
    Clock coarse_;
    int year_ = 0;
    qint64 readAt_ = 0;
    qint64 yearStart_ = 0; // the first and the last millisecond of year_, local time
    qint64 yearEnd_ = -1;
};
