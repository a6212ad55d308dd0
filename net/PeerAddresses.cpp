#include "net/PeerAddresses.h"

#include <QStringList>
#include <arpa/inet.h>
#include <netinet/in.h>

namespace {
constexpr int MappedPrefix = 96; // bits before the IPv4 address in ::ffff:a.b.c.d

bool IsMapped(const QHostAddress& address) {
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 10; ++i)
        if (bytes[i] != 0)
            return false;
    return bytes[10] == 0xFF && bytes[11] == 0xFF;
}

// A prefix length written in decimal digits only, at most `bits`; -1 otherwise.
int ParsePrefix(const QString& text, int bits) {
    if (text.isEmpty() || text.size() > 3)
        return -1;
    int prefix = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        prefix = prefix * 10 + (c.unicode() - u'0');
    }
    return prefix <= bits ? prefix : -1;
}
} // namespace

QHostAddress ParseNumericAddress(const QString& text) {
    const QByteArray ascii = text.toLatin1();
    if (ascii.size() != text.size())
        return {};
    in_addr v4{};
    if (::inet_pton(AF_INET, ascii.constData(), &v4) == 1)
        return QHostAddress(ntohl(v4.s_addr));
    in6_addr v6{};
    if (::inet_pton(AF_INET6, ascii.constData(), &v6) == 1)
        return QHostAddress(v6.s6_addr);
    return {};
}

QHostAddress Unmapped(const QHostAddress& address) {
    if (!IsMapped(address))
        return address;
    const Q_IPV6ADDR b = address.toIPv6Address();
    return QHostAddress(quint32(b[12]) << 24 | quint32(b[13]) << 16 | quint32(b[14]) << 8 | b[15]);
}

std::optional<AllowedPeers> AllowedPeers::Parse(const QString& list) {
    AllowedPeers peers;
    for (const QString& entry : list.split(u',')) {
        const qsizetype slash = entry.indexOf(u'/');
        QHostAddress network = ParseNumericAddress(entry.left(slash));
        if (network.isNull())
            return std::nullopt;
        const int bits = network.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
        int prefix = slash < 0 ? bits : ParsePrefix(entry.mid(slash + 1), bits);
        if (prefix < 0)
            return std::nullopt;
        // A mapped range is the IPv4 range it carries, as peers are matched.
        if (IsMapped(network) && prefix >= MappedPrefix) {
            network = Unmapped(network);
            prefix -= MappedPrefix;
        }
        peers.ranges_.emplace_back(network, prefix);
    }
    return peers;
}

bool AllowedPeers::Allows(const QHostAddress& peer) const {
    if (ranges_.empty())
        return true;
    const QHostAddress plain = Unmapped(peer);
    for (const auto& [network, prefix] : ranges_)
        if (plain.isInSubnet(network, prefix))
            return true;
    return false;
}
