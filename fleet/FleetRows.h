#pragma once
// What the collector's database says of the fleet: one row per logger (the view logger_status)
// and the reports of peers that are no known logger.
#include <QDateTime>
#include <QString>
#include <vector>

namespace fleet {

enum class LoggerState { Ok, Late, Never };

struct LoggerRow {
    qint64 id = 0;
    QString name;
    QString address;
    QDateTime lastReport; // invalid: never reported
    qint64 lastReportItems = 0;
    qint64 measurements = 0;
    bool late = false; // no report within its interval and an hour

    LoggerState State() const {
        return !lastReport.isValid() ? LoggerState::Never
               : late                ? LoggerState::Late
                                     : LoggerState::Ok;
    }
};

struct UnknownReport {
    QString peer;
    QDateTime at;
    qint64 bytes = 0;
};

struct FleetSnapshot {
    std::vector<LoggerRow> loggers;
    std::vector<UnknownReport> unknown;
};

// "OK", "late", "never reported".
QString StateText(LoggerState state);
// A moment in the operator's local time, "2026-03-01 08:15:00"; empty when invalid.
QString LocalTime(const QDateTime& t);
// How long ago, as an operator says it: "just now", "5 min ago", "3 h ago", "2 days ago".
QString Ago(const QDateTime& then, const QDateTime& now);

} // namespace fleet
