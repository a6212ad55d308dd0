#include "tools/collector/ReportLine.h"

namespace collector {

QString ReportLine(const StoredReport& report, int64_t committedMs) {
    const SpooledReport& s = report.spooled;
    const QString peer = QString("%1:%2").arg(PlainAddress(s.peer).toString()).arg(s.peerPort);
    if (report.earlier)
        return QString("report from %1 (spool key %2) was stored before")
            .arg(peer, s.key.toString(QUuid::WithoutBraces));
    const ItemCounts& c = report.counts.counts;
    QString line;
    if (report.logger)
        line = QString("report %1 from logger %2 (%3): %4 items, %5 new, %6 duplicates")
                   .arg(report.id)
                   .arg(report.logger->name, peer)
                   .arg(c.items)
                   .arg(report.counts.newItems)
                   .arg(c.Valid() - report.counts.newItems);
    else
        line = QString("report %1 from unknown peer %2: %3 items kept, not filed")
                   .arg(report.id)
                   .arg(peer)
                   .arg(c.items);
    line += QString(", %1 ms").arg(committedMs - s.startedMs);
    if (c.invalid > 0)
        line += QString(", %1 invalid").arg(c.invalid);
    if (c.Garbage() > 0)
        line += QString(", %1 garbage bytes").arg(c.Garbage());
    if (s.ending != Ending::Closed)
        line += ", " + EndingName(s.ending);
    return line;
}

} // namespace collector
