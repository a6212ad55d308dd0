#include "link/LocalYear.h"

#include <QDateTime>

namespace {
constexpr qint64 RereadMs = 1000;
}

LocalYear::LocalYear(Clock now) : now_(now ? now : &QDateTime::currentMSecsSinceEpoch) {}

int LocalYear::Current() {
    const qint64 now = now_();
    if (now < yearStart_ || now > yearEnd_ || now < readAt_ || now - readAt_ >= RereadMs) {
        year_ = QDateTime::fromMSecsSinceEpoch(now).date().year();
        yearStart_ = QDate(year_, 1, 1).startOfDay().toMSecsSinceEpoch();
        yearEnd_ = QDate(year_, 12, 31).endOfDay().toMSecsSinceEpoch();
        readAt_ = now;
    }
    return year_;
}
