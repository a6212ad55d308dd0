#include "records/LocalYear.h"

#include <QDateTime>
#include <ctime>

namespace {
constexpr qint64 RereadMs = 1000;
// More than the coarse clock lags the exact one (a kernel tick, 10 ms at most).
constexpr qint64 CoarseSlackMs = 50;

qint64 CoarseNow() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
} // namespace

LocalYear::LocalYear(Clock now)
    : now_(now ? now : &QDateTime::currentMSecsSinceEpoch), coarse_(now ? now : &CoarseNow) {}

int LocalYear::Current() {
    const qint64 rough = coarse_();
    if (rough >= yearStart_ + CoarseSlackMs && rough <= yearEnd_ - CoarseSlackMs &&
        rough > readAt_ - CoarseSlackMs && rough < readAt_ + RereadMs - CoarseSlackMs)
        return year_;
    const qint64 now = now_();
    if (now < yearStart_ || now > yearEnd_ || now < readAt_ || now - readAt_ >= RereadMs) {
        year_ = QDateTime::fromMSecsSinceEpoch(now).date().year();
        yearStart_ = QDate(year_, 1, 1).startOfDay().toMSecsSinceEpoch();
        yearEnd_ = QDate(year_, 12, 31).endOfDay().toMSecsSinceEpoch();
        readAt_ = now;
    }
    return year_;
}
