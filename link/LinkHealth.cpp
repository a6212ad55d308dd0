#include "link/LinkHealth.h"

#include <QStringList>

namespace {
const char* const CauseNames[] = {"CRC error", "data stream too long", "short answer",
                                  "broken off"};
}

void LinkHealth::RequestSent(int64_t nowMs) {
    // The oldest unanswered request sets the deadline; later ones do not push it back.
    if (!waiting_) {
        waiting_ = true;
        sentMs_ = nowMs;
    }
}

bool LinkHealth::GoodAnswer() {
    waiting_ = false;
    const bool cleared = noAnswer_;
    noAnswer_ = false;
    return cleared;
}

void LinkHealth::Dropped(Cause cause, const QString& message, const QDateTime& when) {
    ++counts_[static_cast<size_t>(cause)];
    lastError_ = message;
    lastTime_ = when;
}

bool LinkHealth::Check(int64_t nowMs, const QDateTime& when) {
    if (!waiting_ || nowMs - sentMs_ < AnswerTimeMs)
        return false;
    waiting_ = false;
    noAnswer_ = true;
    lastError_ = QStringLiteral("no answer");
    lastTime_ = when;
    return true;
}

QString LinkHealth::Text() const {
    QStringList parts;
    for (size_t i = 0; i < counts_.size(); ++i)
        if (counts_[i] > 0)
            parts << QString("%1: %2").arg(QLatin1String(CauseNames[i])).arg(counts_[i]);
    if (noAnswer_)
        parts << QStringLiteral("no answer");
    return parts.isEmpty() ? QStringLiteral("no link errors") : parts.join(", ");
}

QString LinkHealth::Hint(const FormatSettings& fs) const {
    if (lastError_.isEmpty())
        return {};
    return QString("Last: %1 at %2").arg(lastError_, lastTime_.time().toString(fs.longTimeFormat));
}
