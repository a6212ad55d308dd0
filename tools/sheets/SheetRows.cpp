#include "SheetRows.h"

#include <algorithm>
#include <cstring>

namespace sheets {

namespace {

void PutVarint(std::string& out, uint64_t v) {
    while (v >= 0x80) {
        out += char(0x80 | (v & 0x7F));
        v >>= 7;
    }
    out += char(v);
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

} // namespace

void EncodeRow(const RowCells& row, std::string& out) {
    out.clear();
    PutVarint(out, row.attrs.size());
    out.append(row.attrs);
    for (const Cell& c : row.cells) {
        PutVarint(out, c.col);
        out += char(c.kind);
        PutVarint(out, c.style);
        PutVarint(out, c.payload.size());
        out.append(c.payload);
    }
}

void SheetRows::decode(const Entry& e, RowCells& out) const {
    out.cells.clear();
    const char* p = blocks_[e.block].get() + e.offset;
    const char* end = p + e.size;
    out.attrs = GetBytes(p, end);
    while (p < end) {
        Cell c;
        c.col = uint32_t(GetVarint(p, end));
        c.kind = p < end ? CellKind(*p++) : CellKind::Empty;
        c.style = uint32_t(GetVarint(p, end));
        c.payload = GetBytes(p, end);
        out.cells.push_back(c);
    }
}

const SheetRows::Entry* SheetRows::find(uint32_t row) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), row,
                               [](const Entry& e, uint32_t r) { return e.row < r; });
    return it != entries_.end() && it->row == row ? &*it : nullptr;
}

SheetRows::Entry SheetRows::store(uint32_t row, const std::string& record) {
    if (blocks_.empty() || fill_ + record.size() > blockSizes_.back()) {
        // Blocks grow with the sheet: small sheets stay small, large ones take few blocks.
        size_t size = std::clamp(used_, MinBlockSize, BlockSize);
        size = std::max(size, record.size());
        blocks_.push_back(std::unique_ptr<char[]>(new char[size])); // not cleared: written next
        blockSizes_.push_back(size);
        fill_ = 0;
    }
    Entry e{row, uint32_t(blocks_.size() - 1), uint32_t(fill_), uint32_t(record.size())};
    if (!record.empty())
        std::memcpy(blocks_.back().get() + fill_, record.data(), record.size());
    fill_ += record.size();
    used_ += record.size();
    live_ += record.size();
    return e;
}

void SheetRows::put(const std::vector<NewRow>& rows) {
    for (const NewRow& r : rows)
        stage(r.row, r.content);
    commit();
}

void SheetRows::stage(uint32_t row, const RowCells& content) {
    EncodeRow(content, scratch_);
    staged_.push_back(store(row, scratch_));
    if (!content.cells.empty())
        lastCol_ = std::max(lastCol_, content.cells.back().col);
}

void SheetRows::commit() {
    std::vector<Entry> fresh;
    fresh.swap(staged_);
    // Rows after the last one (loading, appending pokes) need no merge.
    if (entries_.empty() || fresh.empty() || fresh.front().row > entries_.back().row) {
        entries_.reserve(entries_.size() + fresh.size());
        for (const Entry& f : fresh) {
            if (f.size <= 1)
                live_ -= f.size;
            else
                entries_.push_back(f);
        }
    } else {
        // A fresh entry replaces an old one of the same row.
        std::vector<Entry> merged;
        merged.reserve(entries_.size() + fresh.size());
        size_t i = 0, j = 0;
        while (i < entries_.size() || j < fresh.size()) {
            if (j == fresh.size() || (i < entries_.size() && entries_[i].row < fresh[j].row)) {
                merged.push_back(entries_[i++]);
                continue;
            }
            if (i < entries_.size() && entries_[i].row == fresh[j].row)
                live_ -= entries_[i++].size;
            const Entry& f = fresh[j++];
            if (f.size <= 1) // only the empty attribute length: nothing left in the row
                live_ -= f.size;
            else
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
    std::string record;
    fresh.entries_.reserve(entries_.size());
    for (const Entry& e : entries_) {
        record.assign(blocks_[e.block].get() + e.offset, e.size);
        fresh.entries_.push_back(fresh.store(e.row, record));
    }
    *this = std::move(fresh);
}

} // namespace sheets
