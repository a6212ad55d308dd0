// The spreadsheet conversation protocol: any bytes, fed in pieces as a socket delivers them.
// The decoder never reads past its buffer, stays stopped after the first broken message, and
// every message it accepts encodes into bytes that decode to the same message. The service's
// decoder, which keeps poke data as bytes, reads the same messages with the same data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocol/DdeProtocol.h"

namespace {
bool Same(const dde::Message& x, const dde::Message& y) {
    return x.kind == y.kind && x.seq == y.seq && x.a == y.a && x.b == y.b && x.wait == y.wait;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    dde::Decoder decoder;
    std::vector<dde::Message> read;
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t at = 0;
    for (size_t piece = 1; at < size; piece = piece * 3 % 17 + 1) {
        const size_t n = piece < size - at ? piece : size - at;
        decoder.feed(QByteArray(bytes + at, qsizetype(n)));
        at += n;
        while (auto m = decoder.next()) {
            dde::Decoder again;
            again.feed(dde::Encode(*m));
            const auto back = again.next();
            if (!back || !Same(*back, *m) || again.next() || again.failed())
                std::abort();
            read.push_back(*m);
        }
        if (decoder.failed() && decoder.next())
            std::abort();
    }
    dde::Decoder raw;
    raw.keepPokeDataRaw(true);
    raw.feed(QByteArray(bytes, qsizetype(size)));
    for (const dde::Message& m : read) {
        auto r = raw.next();
        if (!r || r->kind != m.kind || r->seq != m.seq || r->a != m.a || r->wait != m.wait)
            std::abort();
        if (m.kind == dde::MessageKind::Poke &&
            (!r->b.isEmpty() || QString::fromUtf8(r->data) != m.b))
            std::abort();
    }
    if (raw.next() || raw.failed() != decoder.failed())
        std::abort();
    return 0;
}
