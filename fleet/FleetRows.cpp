#include "fleet/FleetRows.h"

namespace fleet {

QString StateText(LoggerState state) {
    switch (state) {
    case LoggerState::Ok:
        return QStringLiteral("OK");
    case LoggerState::Late:
        return QStringLiteral("late");
    case LoggerState::Never:
        return QStringLiteral("never reported");
    }
    return {};
}

QString LocalTime(const QDateTime& t) {
    return t.isValid() ? t.toLocalTime().toString("yyyy-MM-dd HH:mm:ss") : QString();
}

QString Ago(const QDateTime& then, const QDateTime& now) {
    if (!then.isValid())
        return {};
    const qint64 s = then.secsTo(now);
    if (s < 60)
        return QStringLiteral("just now");
    if (s < 3600)
        return QStringLiteral("%1 min ago").arg(s / 60);
    if (s < 2 * 86400)
        return QStringLiteral("%1 h ago").arg(s / 3600);
    return QStringLiteral("%1 days ago").arg(s / 86400);
}

} // namespace fleet
