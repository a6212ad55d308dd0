#pragma once
// How the link fares, for the operator: the answers the console dropped, by cause, and whether
// requests go unanswered. The receiver drops bad answers without a word and requests are never
// paired with answers, so without this a dead line and a noisy one look alike ("sending").
#include <array>
#include <cstdint>

#include <QDateTime>
#include <QString>

#include "base/FormatSettings.h"

class LinkHealth {
public:
    enum class Cause : uint8_t { Checksum, TooLong, Short, BrokenOff, Count };
    // A request with no good answer for this long shows "no answer".
    static constexpr int64_t AnswerTimeMs = 3000;

    // Times are milliseconds of a monotonic clock; `when` is the wall-clock time for the hint.
    void RequestSent(int64_t nowMs);
    // A good answer; true when it cleared "no answer".
    bool GoodAnswer();
    void Dropped(Cause cause, const QString& message, const QDateTime& when);
    // True when "no answer" became due at `nowMs`.
    bool Check(int64_t nowMs, const QDateTime& when);

    int Count(Cause cause) const { return counts_[static_cast<size_t>(cause)]; }
    bool NoAnswer() const { return noAnswer_; }
    // "no link errors", or the non-zero counts and "no answer", e.g.
    // "CRC error: 2, short answer: 1, no answer".
    QString Text() const;
    // The last error and its time in the operator's long time format, or "".
    QString Hint(const FormatSettings& fs) const;

private:
    std::array<int, static_cast<size_t>(Cause::Count)> counts_{};
    bool waiting_ = false;
    int64_t sentMs_ = 0;
    bool noAnswer_ = false;
    QString lastError_;
    QDateTime lastTime_;
};
