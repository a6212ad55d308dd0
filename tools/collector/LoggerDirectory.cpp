#include "tools/collector/LoggerDirectory.h"

#include <algorithm>

namespace collector {

Result<LoggerDirectory> LoggerDirectory::Load(pg::PgConnection& db) {
    Result<pg::PgResult> rows =
        db.Exec("SELECT id, name, host(address), masklen(address) FROM logger");
    if (!rows)
        return Fail(QStringLiteral("reading the loggers"), rows.error());
    LoggerDirectory d;
    for (int r = 0; r < rows->Rows(); ++r)
        d.entries_.push_back({{static_cast<int32_t>(rows->Int(r, 0)), rows->Text(r, 1)},
                              PlainAddress(QHostAddress(rows->Text(r, 2))),
                              static_cast<int>(rows->Int(r, 3))});
    std::stable_sort(d.entries_.begin(), d.entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.prefix > b.prefix; });
    return d;
}

std::optional<KnownLogger> LoggerDirectory::Match(const QHostAddress& peer) const {
    const QHostAddress plain = PlainAddress(peer);
    for (const Entry& e : entries_)
        if (plain.protocol() == e.network.protocol() && plain.isInSubnet(e.network, e.prefix))
            return e.logger;
    return std::nullopt;
}

QHostAddress PlainAddress(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : address;
}

} // namespace collector
