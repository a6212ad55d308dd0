#pragma once
// Addresses of the report server as the operator writes them on the command line: the one
// address to listen on, and the ranges of senders to accept.
#include <QHostAddress>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// A numeric IPv4 address in dotted decimal ("10.1.2.3": no shorthand, no octal, no blanks) or a
// numeric IPv6 address; otherwise a null address. A host name is no address: the server must
// not depend on a name service to decide where it listens or whom it takes.
QHostAddress ParseNumericAddress(const QString& text);

// An IPv4-mapped IPv6 address (::ffff:a.b.c.d, as an IPv4 peer shows on an IPv6 listener) as
// the IPv4 address it carries; any other as it is.
QHostAddress Unmapped(const QHostAddress& address);

// The senders the report server takes: address ranges, or everyone when none is given.
class AllowedPeers {
public:
    // "CIDR[,CIDR...]": numeric addresses, each with an optional "/prefix" (a bare address is
    // /32 or /128). Nothing for an empty list or any entry that is no such range.
    static std::optional<AllowedPeers> Parse(const QString& list);

    bool Everyone() const { return ranges_.empty(); }
    // An IPv4-mapped peer is matched as the IPv4 address it carries.
    bool Allows(const QHostAddress& peer) const;

private:
    std::vector<std::pair<QHostAddress, int>> ranges_; // network and prefix length
};
