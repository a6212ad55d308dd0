#include "data/DownloadTracker.h"

#include <algorithm>

#include <QLocale>
#include <QStringList>

namespace {
constexpr int64_t Field24 = 0xFFFFFF; // first item and amount travel as 24 bits
}

QString GroupedNumber(int64_t n) {
    // The C locale groups by three with ","; its default options leave the grouping out.
    static const QLocale grouped = [] {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::DefaultNumberOptions);
        return c;
    }();
    return grouped.toString(static_cast<qlonglong>(n));
}

void DownloadTracker::Start(int64_t first, int64_t amount, int64_t stored, int64_t nowMs) {
    first_ = std::max<int64_t>(first & Field24, 1);
    int64_t last = first_ + (amount & Field24) - 1;
    if (stored >= 0)
        last = std::min(last, stored);
    amount_ = std::max<int64_t>(last - first_ + 1, 0);
    got_.assign(static_cast<size_t>(amount_), false);
    received_ = 0;
    fillingGaps_ = false;
    running_ = amount_ > 0;
    runStartMs_ = lastItemMs_ = nowMs;
    runStartCount_ = 0;
}

void DownloadTracker::Restore(int64_t first, int64_t amount, std::span<const CounterSpan> arrived,
                              int64_t nowMs) {
    // The archive's values, which another program may have written: kept within what a
    // request can carry.
    first_ = std::clamp<int64_t>(first, 1, Field24);
    amount_ = std::clamp<int64_t>(amount, 0, Field24);
    got_.assign(static_cast<size_t>(amount_), false);
    received_ = 0;
    for (const CounterSpan& run : arrived) {
        // The run's overlap with ours, computed so that no value can overflow.
        const int64_t end = first_ + amount_;
        if (run.count <= 0 || run.first >= end)
            continue;
        const uint64_t room = static_cast<uint64_t>(end) - static_cast<uint64_t>(run.first);
        const int64_t runEnd =
            static_cast<uint64_t>(run.count) >= room ? end : run.first + run.count;
        const int64_t from = std::max(run.first, first_) - first_;
        const int64_t to = runEnd - first_;
        for (int64_t k = from; k < to; ++k) {
            received_ += got_[static_cast<size_t>(k)] ? 0 : 1;
            got_[static_cast<size_t>(k)] = true;
        }
    }
    fillingGaps_ = false;
    running_ = received_ < amount_;
    runStartMs_ = lastItemMs_ = nowMs;
    runStartCount_ = received_;
}

void DownloadTracker::Resume(int64_t nowMs) {
    if (!Active() || received_ == amount_)
        return;
    fillingGaps_ = true;
    running_ = true;
    runStartMs_ = lastItemMs_ = nowMs;
    runStartCount_ = received_;
}

bool DownloadTracker::Arrived(int64_t counter, int64_t nowMs) {
    lastItemMs_ = nowMs;
    const int64_t k = counter - first_;
    if (k < 0 || k >= amount_)
        return true; // not one of ours; stored as it comes
    const size_t i = static_cast<size_t>(k);
    if (got_[i])
        return !fillingGaps_;
    got_[i] = true;
    ++received_;
    return true;
}

bool DownloadTracker::Check(int64_t nowMs) {
    if (!running_)
        return false;
    if (received_ == amount_ || nowMs - lastItemMs_ >= StallMs) {
        running_ = false;
        return true;
    }
    return false;
}

std::vector<CounterSpan> DownloadTracker::Runs(bool arrived) const {
    std::vector<CounterSpan> out;
    for (size_t i = 0; i < got_.size();) {
        if (got_[i] != arrived) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < got_.size() && got_[j] == arrived)
            ++j;
        out.push_back({first_ + static_cast<int64_t>(i), static_cast<int64_t>(j - i)});
        i = j;
    }
    return out;
}

QString DownloadTracker::ProgressText(int64_t nowMs) const {
    if (!Active())
        return {};
    const QString of = GroupedNumber(received_) + " of " + GroupedNumber(amount_);
    if (!running_)
        return of + " arrived";
    const int64_t elapsed = nowMs - runStartMs_;
    const int64_t items = received_ - runStartCount_;
    if (elapsed < 500 || items <= 0)
        return of;
    const double rate = items * 1000.0 / static_cast<double>(elapsed);
    const int64_t left = static_cast<int64_t>((amount_ - received_) / rate + 0.5);
    return of + QString(" - %1 items/s - %2:%3 left")
                    .arg(GroupedNumber(static_cast<int64_t>(rate + 0.5)))
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QChar('0'));
}

QString DownloadTracker::MissingText(int maxRuns) const {
    if (!Active() || running_)
        return {};
    const int64_t missing = amount_ - received_;
    if (missing == 0)
        return QStringLiteral("None missing");
    const std::vector<CounterSpan> runs = Missing();
    QStringList parts;
    for (const CounterSpan& r : runs) {
        if (parts.size() == maxRuns) {
            parts << "...";
            break;
        }
        parts << (r.count == 1 ? QString::number(r.first)
                               : QString("%1-%2").arg(r.first).arg(r.first + r.count - 1));
    }
    return QString("Missing %1: %2").arg(GroupedNumber(missing), parts.join(", "));
}
