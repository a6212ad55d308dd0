#include "archive/MeasurementCount.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sqlite3.h>
#include <vector>

#include "archive/ArchiveSessions.h"
#include "sqlite/Sqlite.h"

namespace {

struct Key {
    uint64_t hi = 0;
    uint64_t lo = 0; // its lowest bit: the arrival has a counter
    int64_t counter = 0;
    auto operator<=>(const Key&) const = default;
    bool SameGroup(const Key& o) const { return hi == o.hi && (lo >> 1) == (o.lo >> 1); }
};

// The fingerprints are sorted in buckets by their top bits: a bucket's sort stays in cache.
constexpr int BucketBits = 8;

// A 128-bit fingerprint of values, fed a 64-bit word at a time: two lanes of multiply-and-fold
// rounds (as in wyhash), each with constants of its own.
class Fingerprint {
public:
    void Word(uint64_t w) {
        a_ = Fold(a_ ^ 0xa0761d6478bd642fu, w ^ 0xe7037ed1a0b428dbu);
        b_ = Fold(b_ ^ 0x8ebc6af09c88c6e3u, w ^ 0x589965cc75374cc3u);
    }
    void Bytes(const void* data, size_t size) {
        Word(size);
        const auto* p = static_cast<const unsigned char*>(data);
        for (; size >= 8; p += 8, size -= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            Word(w);
        }
        if (size > 0) {
            uint64_t w = 0;
            std::memcpy(&w, p, size);
            Word(w);
        }
    }
    uint64_t Hi() const { return Fold(a_, 0x1d8e4e27c47d124fu); }
    uint64_t Lo() const { return Fold(b_, 0x9e3779b97f4a7c15u); }

private:
    static uint64_t Fold(uint64_t x, uint64_t y) {
        const unsigned __int128 m = static_cast<unsigned __int128>(x) * y;
        return static_cast<uint64_t>(m) ^ static_cast<uint64_t>(m >> 64);
    }
    uint64_t a_ = 0;
    uint64_t b_ = 0;
};

// A column's value as SQL's grouping tells values apart: its storage class and the value. The
// columns' types make SQL store an integral value of a numeric column one way only.
void AddValue(Fingerprint& f, const SqliteStatement& s, int column) {
    const int type = s.Type(column);
    f.Word(static_cast<uint64_t>(type));
    switch (type) {
    case SQLITE_INTEGER:
        f.Word(static_cast<uint64_t>(s.Int(column)));
        break;
    case SQLITE_FLOAT: {
        const double d = s.Real(column) + 0.0; // -0 is 0
        uint64_t w;
        std::memcpy(&w, &d, 8);
        f.Word(w);
        break;
    }
    case SQLITE_TEXT: {
        const std::string_view t = s.TextView(column);
        f.Bytes(t.data(), t.size());
        break;
    }
    case SQLITE_BLOB: {
        const std::span<const uint8_t> b = s.Blob(column);
        f.Bytes(b.data(), b.size());
        break;
    }
    default:
        break;
    }
}

// Within arrivals alike but for their counter, each distinct counter is one measurement, and
// arrivals without any counter are one.
int64_t GroupsOf(std::vector<Key>& keys) {
    std::sort(keys.begin(), keys.end());
    int64_t n = 0;
    for (size_t i = 0; i < keys.size();) {
        int64_t counters = 0;
        size_t j = i;
        for (; j < keys.size() && keys[j].SameGroup(keys[i]); ++j)
            if ((keys[j].lo & 1) != 0 && (counters == 0 || keys[j].counter != keys[j - 1].counter))
                ++counters;
        n += std::max<int64_t>(counters, 1);
        i = j;
    }
    return n;
}

} // namespace

Result<int64_t> CountMeasurements(SqliteDb& db, int64_t session, int64_t keysPerPass) {
    const Result<std::optional<SessionRows>> range = SessionRowsOf(db, session);
    if (!range)
        return tl::unexpected(range.error());
    if (!*range || (*range)->last < (*range)->first)
        return 0;
    const int64_t first = (*range)->first, last = (*range)->last;
    keysPerPass = std::max<int64_t>(keysPerPass, 1);
    Result<SqliteStatement> rows =
        db.TryPrepare("SELECT board, channel, logger_time, range, rx, xx, counter FROM arrival "
                      "WHERE id BETWEEN ?1 AND ?2 AND session = ?3");
    if (!rows)
        return tl::unexpected(rows.error());
    SqliteStatement& s = *rows;
    const int64_t bound = last - first + 1; // other consoles' sessions may share the ids
    const auto passes = static_cast<uint64_t>((bound + keysPerPass - 1) / keysPerPass);
    std::array<std::vector<Key>, size_t(1) << BucketBits> buckets;
    int64_t n = 0;
    for (uint64_t pass = 0; pass < passes; ++pass) {
        const auto expected = static_cast<size_t>(std::min(bound, keysPerPass) >> BucketBits);
        for (std::vector<Key>& bucket : buckets) {
            bucket.clear();
            bucket.reserve(expected + expected / 8);
        }
        s.Reset();
        s.BindAll(first, last, session);
        const Result<void> read = s.TryEachRow([&] {
            Fingerprint group;
            for (int column = 0; column < 6; ++column)
                AddValue(group, s, column);
            Key k{group.Hi(), group.Lo() & ~uint64_t(1), 0};
            if (k.hi % passes != pass)
                return;
            if (const int type = s.Type(6); type != SQLITE_NULL) {
                k.lo |= 1;
                if (type == SQLITE_INTEGER) {
                    k.counter = s.Int(6);
                } else { // not written by a console; told apart by its fingerprint
                    Fingerprint counter;
                    AddValue(counter, s, 6);
                    k.counter = static_cast<int64_t>(counter.Hi());
                }
            }
            buckets[k.hi >> (64 - BucketBits)].push_back(k);
        });
        if (!read)
            return tl::unexpected(read.error());
        for (std::vector<Key>& bucket : buckets)
            n += GroupsOf(bucket);
    }
    return n;
}
