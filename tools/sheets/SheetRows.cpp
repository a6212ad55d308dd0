#include "SheetRows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace sheets {

// A record: its length (varint), the row's attributes (varint length, bytes), then per cell a
// tag byte (the kind, and which of the fields below it has), the column when it is not the one
// after the previous cell's, the style when it has one, a raw cell's attributes when it has
// any (varint length, bytes), and the payload (varint length, bytes). A poked cell so costs
// three bytes besides its text. A payload of digits and the few characters around them is
// packed two characters a byte (varint count of characters, then the bytes): a block of a
// million measurements is mostly numbers, dates and clock times.
namespace {

constexpr uint8_t KindBits = 7;
constexpr uint8_t ColumnGiven = 1 << 3;
constexpr uint8_t StyleGiven = 1 << 4;
constexpr uint8_t AttrsGiven = 1 << 5;
constexpr uint8_t Packed = 1 << 6;
// The characters of a packed payload, by their nibble.
constexpr char Nibbles[] = "0123456789.-e+: ";
// Marks a staged removal, which has no record.
constexpr uint32_t Removed = UINT32_MAX;

size_t VarintBytes(uint64_t v) {
    size_t n = 1;
    for (; v >= 0x80; v >>= 7)
        ++n;
    return n;
}

char* PutVarint(char* p, uint64_t v) {
    for (; v >= 0x80; v >>= 7)
        *p++ = char(0x80 | (v & 0x7F));
    *p++ = char(v);
    return p;
}

char* PutBytes(char* p, std::string_view s) {
    p = PutVarint(p, s.size());
    if (!s.empty())
        std::memcpy(p, s.data(), s.size());
    return p + s.size();
}

uint64_t GetVarint(const char*& p, const char* end) {
    uint64_t v = 0;
    for (int shift = 0; p < end && shift < 64; shift += 7) {
        const uint8_t b = uint8_t(*p++);
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            break;
    }
    return v;
}

std::string_view GetBytes(const char*& p, const char* end) {
    const uint64_t n = std::min<uint64_t>(GetVarint(p, end), uint64_t(end - p));
    std::string_view s(p, size_t(n));
    p += n;
    return s;
}

// Looked up a byte at a time: every cell of a large poke passes here.
constexpr auto NibbleOf = [] {
    std::array<int8_t, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 16; ++i)
        t[uint8_t(Nibbles[i])] = int8_t(i);
    return t;
}();
constexpr auto PairOf = [] {
    std::array<std::array<char, 2>, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[size_t(b)] = {Nibbles[b >> 4], Nibbles[b & 15]};
    return t;
}();

int Nibble(char c) {
    return NibbleOf[uint8_t(c)];
}

// The payload packed where it can be, else as it is; packed says which. Packing is tried as it
// is written (it takes no more room than the bytes would): each payload is looked at once.
char* PutPayload(char* p, std::string_view s, bool& packed) {
    packed = !s.empty() && s.size() <= SheetRows::Cursor::PackedDigits;
    if (packed) {
        char* q = p;
        *q++ = char(s.size()); // a varint of one byte
        const size_t pairs = s.size() / 2;
        for (size_t i = 0; i < pairs && packed; ++i) {
            const int high = Nibble(s[2 * i]), low = Nibble(s[2 * i + 1]);
            packed = (high | low) >= 0;
            *q++ = char(high << 4 | low);
        }
        if (packed && s.size() % 2) {
            const int high = Nibble(s.back());
            packed = high >= 0;
            *q++ = char(high << 4);
        }
        if (packed)
            return q;
    }
    return PutBytes(p, s);
}

// The most bytes of the record's body: every payload as if it did not pack.
size_t BodyBound(const RowCells& row) {
    size_t n = VarintBytes(row.attrs.size()) + row.attrs.size();
    uint32_t previous = 0;
    for (const Cell& c : row.cells) {
        n += 1 + VarintBytes(c.payload.size()) + c.payload.size();
        if (c.col != previous + 1)
            n += VarintBytes(c.col);
        if (c.style != 0)
            n += VarintBytes(c.style);
        if (!c.attrs.empty())
            n += VarintBytes(c.attrs.size()) + c.attrs.size();
        previous = c.col;
    }
    return n;
}

char* PutBody(char* p, const RowCells& row) {
    p = PutBytes(p, row.attrs);
    uint32_t previous = 0;
    for (const Cell& c : row.cells) {
        const bool column = c.col != previous + 1;
        char* const tag = p++;
        if (column)
            p = PutVarint(p, c.col);
        if (c.style != 0)
            p = PutVarint(p, c.style);
        if (!c.attrs.empty())
            p = PutBytes(p, c.attrs);
        bool packed;
        p = PutPayload(p, c.payload, packed);
        *tag = char(uint8_t(c.kind) | (column ? ColumnGiven : 0) | (c.style ? StyleGiven : 0) |
                    (c.attrs.empty() ? 0 : AttrsGiven) | (packed ? Packed : 0));
        previous = c.col;
    }
    return p;
}

} // namespace

size_t SheetRows::recordBytes(const Entry& e) const {
    const char* p = blocks_[e.block].get() + e.offset;
    return size_t(GetVarint(p, blocks_[e.block].get() + blockSizes_[e.block]));
}

size_t SheetRows::storedBytes(const Entry& e) const {
    const size_t body = recordBytes(e);
    return VarintBytes(body) + body;
}

SheetRows::Cursor SheetRows::cursor(const Entry& e) const {
    Cursor c;
    c.p_ = blocks_[e.block].get() + e.offset;
    const char* end = blocks_[e.block].get() + blockSizes_[e.block];
    const uint64_t body = GetVarint(c.p_, end);
    c.end_ = c.p_ + std::min<uint64_t>(body, uint64_t(end - c.p_));
    c.attrs = GetBytes(c.p_, c.end_);
    return c;
}

bool SheetRows::Cursor::next(Cell& c) {
    if (p_ >= end_)
        return false;
    const uint8_t tag = uint8_t(*p_++);
    c.kind = CellKind(tag & KindBits);
    c.col = (tag & ColumnGiven) ? uint32_t(GetVarint(p_, end_)) : previous_ + 1;
    c.style = (tag & StyleGiven) ? uint32_t(GetVarint(p_, end_)) : 0;
    c.attrs = (tag & AttrsGiven) ? GetBytes(p_, end_) : std::string_view();
    if (!(tag & Packed)) {
        c.payload = GetBytes(p_, end_);
    } else {
        // A damaged record gives a shorter number, never a read beyond it.
        const size_t n =
            std::min<uint64_t>({GetVarint(p_, end_), PackedDigits, 2 * uint64_t(end_ - p_)});
        const size_t bytes = (n + 1) / 2;
        for (size_t i = 0; i < bytes; ++i) // an odd count writes one character more
            std::memcpy(digits_ + 2 * i, PairOf[uint8_t(p_[i])].data(), 2);
        p_ += bytes;
        c.payload = std::string_view(digits_, n);
    }
    previous_ = c.col;
    return true;
}

void SheetRows::decode(const Entry& e, RowCells& out) const {
    Cursor cells = cursor(e);
    out.attrs = cells.attrs;
    out.cells.clear();
    out.numbers.clear();
    // Room for every number the record can unpack to, so that none moves the ones before it.
    out.numbers.reserve(2 * recordBytes(e));
    const char* const digits = cells.digits_;
    for (Cell c; cells.next(c);) {
        if (c.payload.data() == digits) {
            const size_t at = out.numbers.size();
            out.numbers.append(c.payload);
            c.payload = std::string_view(out.numbers).substr(at);
        }
        out.cells.push_back(c);
    }
}

const SheetRows::Entry* SheetRows::find(uint32_t row) const {
    if (entries_.empty() || row > entries_.back().row) // appending
        return nullptr;
    auto it = std::lower_bound(entries_.begin(), entries_.end(), row,
                               [](const Entry& e, uint32_t r) { return e.row < r; });
    return it != entries_.end() && it->row == row ? &*it : nullptr;
}

char* SheetRows::room(size_t size, Entry& e) {
    if (blocks_.empty() || fill_ + size > blockSizes_.back()) {
        // Blocks grow with the sheet: small sheets stay small, large ones take few blocks.
        const size_t block = std::max(std::clamp(used_, MinBlockSize, BlockSize), size);
        blocks_.push_back(AllocateLarge(block)); // not cleared: written next
        if (!blocks_.back())
            throw std::bad_alloc();
        blockSizes_.push_back(block);
        fill_ = 0;
    }
    e.block = uint32_t(blocks_.size() - 1);
    e.offset = uint32_t(fill_);
    fill_ += size;
    used_ += size;
    live_ += size;
    return blocks_.back().get() + e.offset;
}

void SheetRows::put(const std::vector<NewRow>& rows) {
    for (const NewRow& r : rows)
        stage(r.row, r.content);
    commit();
}

void SheetRows::reserve(size_t rows) {
    entries_.reserve(entries_.size() + rows);
    PreferLargePages(entries_.data(), entries_.capacity() * sizeof(Entry));
}

void SheetRows::cutBack(const Mark& m) {
    entries_.resize(m.entries);
    blocks_.resize(m.blocks);
    blockSizes_.resize(m.blocks);
    fill_ = m.fill;
    used_ = m.used;
    live_ = m.live;
    lastCol_ = m.lastCol;
}

void SheetRows::stage(uint32_t row, const RowCells& content) {
    const bool appended = entries_.empty() || row > entries_.back().row;
    Entry e{row, Removed, 0};
    if (content.attrs.empty() && content.cells.empty()) {
        if (!appended) // a row after the last has nothing to remove
            staged_.push_back(e);
        return;
    }
    // Grown only, never cleared: each record is written over the last.
    const size_t bound = RecordBound(content);
    if (body_.size() < bound)
        body_.resize(bound);
    const size_t size = size_t(Encode(content, body_.data(), bound) - body_.data());
    std::memcpy(room(size, e), body_.data(), size);
    lastCol_ = std::max(lastCol_, content.cells.empty() ? 0 : content.cells.back().col);
    if (appended)
        entries_.push_back(e);
    else
        staged_.push_back(e);
}

size_t SheetRows::RecordBound(const RowCells& content) {
    // One byte more than the body and its length take: the room for the length is reckoned
    // from this bound, which takes at most one byte more than the body's.
    const size_t body = BodyBound(content);
    return VarintBytes(body) + body + 1;
}

char* SheetRows::Encode(const RowCells& content, char* out, size_t bound) {
    // The body is made first, behind room for the longest length it can have, so that whether
    // a payload packs is seen once, as it is written; the length then goes right before it.
    char* const body = out + VarintBytes(bound);
    const size_t size = size_t(PutBody(body, content) - body);
    char length[10];
    const size_t lengthBytes = size_t(PutVarint(length, size) - length);
    std::memcpy(body - lengthBytes, length, lengthBytes);
    if (body - lengthBytes > out)
        std::memmove(out, body - lengthBytes, lengthBytes + size);
    return out + lengthBytes + size;
}

void SheetRows::append(uint32_t row, std::string_view record, uint32_t lastCol) {
    Entry e{row, 0, 0};
    std::memcpy(room(record.size(), e), record.data(), record.size());
    lastCol_ = std::max(lastCol_, lastCol);
    entries_.push_back(e);
}

void SheetRows::commit() {
    if (!staged_.empty()) {
        // A staged entry replaces (or removes) the old one of the same row.
        std::vector<Entry> fresh;
        fresh.swap(staged_);
        std::vector<Entry> merged;
        merged.reserve(entries_.size() + fresh.size());
        size_t i = 0, j = 0;
        while (i < entries_.size() || j < fresh.size()) {
            if (j == fresh.size() || (i < entries_.size() && entries_[i].row < fresh[j].row)) {
                merged.push_back(entries_[i++]);
                continue;
            }
            if (i < entries_.size() && entries_[i].row == fresh[j].row)
                live_ -= storedBytes(entries_[i++]);
            const Entry& f = fresh[j++];
            if (f.block != Removed)
                merged.push_back(f);
        }
        entries_.swap(merged);
    }
    if (used_ > (16u << 20) && live_ < used_ / 2)
        compact();
}

void SheetRows::compact() {
    SheetRows fresh;
    fresh.lastCol_ = lastCol_;
    fresh.entries_.reserve(entries_.size());
    for (const Entry& e : entries_) {
        const size_t size = storedBytes(e);
        Entry moved{e.row, 0, 0};
        std::memcpy(fresh.room(size, moved), blocks_[e.block].get() + e.offset, size);
        fresh.entries_.push_back(moved);
    }
    *this = std::move(fresh);
}

} // namespace sheets
