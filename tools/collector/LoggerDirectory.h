#pragma once
// The logger table as a lookup: which logger a peer address belongs to. A logger's address is
// one host or a range (CIDR); the most specific one that holds the peer wins.
#include <cstdint>
#include <optional>
#include <vector>

#include <QHostAddress>
#include <QString>

#include "base/Result.h"
#include "pg/PgConnection.h"

namespace collector {

struct KnownLogger {
    int32_t id = 0;
    QString name;
};

class LoggerDirectory {
public:
    // Reads the logger table.
    static Result<LoggerDirectory> Load(pg::PgConnection& db);

    std::optional<KnownLogger> Match(const QHostAddress& peer) const;

private:
    struct Entry {
        KnownLogger logger;
        QHostAddress network;
        int prefix = 0;
    };
    std::vector<Entry> entries_; // longest prefix first
};

// An IPv4 address that came as IPv6 (::ffff:a.b.c.d, from a socket listening on both) as the
// plain IPv4 address the logger table names.
QHostAddress PlainAddress(const QHostAddress& address);

} // namespace collector
