#pragma once
// The rows of one sheet in a compact form: every row is one encoded record in a block arena,
// found through a vector sorted by row number, so a million poked rows cost tens of bytes each
// and no document tree.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CellText.h"
#include "base/LargePages.h"

namespace sheets {

struct Cell {
    uint32_t col = 0;
    CellKind kind = CellKind::Empty;
    uint32_t style = 0; // 0: none, else the package's style index + 1
    std::string_view payload;
    std::string_view attrs; // Raw: its attributes other than r and s, as XML (` t="s"`)
};

// A decoded row: its attributes other than r (raw XML, e.g. ` ht="20" customHeight="1"`) and
// its cells in column order. Views point into the arena, into `numbers` (where decode() unpacks
// the payloads the arena keeps packed) or into strings the caller keeps.
struct RowCells {
    std::string_view attrs;
    std::vector<Cell> cells;
    std::string numbers = {};
};

class SheetRows {
public:
    struct Entry {
        uint32_t row;
        uint32_t block;
        uint32_t offset; // of the record's length, which precedes it
    };

    // Rows in ascending order; each is decoded into `out` (cleared first), or read cell by cell.
    const std::vector<Entry>& entries() const { return entries_; }
    void decode(const Entry& e, RowCells& out) const;
    class Cursor {
    public:
        std::string_view attrs;
        // The next cell; false after the last. A packed payload (digits and the characters
        // of numbers, dates and times) stays valid until the next call only: it is unpacked
        // into the cursor.
        bool next(Cell& c);
        static constexpr size_t PackedDigits = 64; // the longest payload kept packed

    private:
        friend class SheetRows;
        const char* p_ = nullptr;
        const char* end_ = nullptr;
        uint32_t previous_ = 0;
        char digits_[PackedDigits + 1];
    };
    Cursor cursor(const Entry& e) const;
    // Bytes of the row's record: an upper bound for each of its texts and for its cell count.
    size_t recordBytes(const Entry& e) const;
    // The entry of a row, or null.
    const Entry* find(uint32_t row) const;

    // Replaces or adds rows: `rows` ascending, each with its new content. Rows without cells and
    // attributes are removed.
    struct NewRow {
        uint32_t row;
        RowCells content;
    };
    void put(const std::vector<NewRow>& rows);
    // The same in steps, for large edits: stage rows in ascending order, then commit them all.
    // Views of rows decoded before stay valid until commit. Rows after the last one go in at
    // once (found by find() before the commit); `reserve` makes room for that many of them.
    void stage(uint32_t row, const RowCells& content);
    void commit();
    // A row's record as stage() keeps it, written at out, which has room for RecordBound()
    // bytes; returns its end. Made apart from the rows (on another thread), then added by
    // append(). A row without cells and attributes has none.
    static size_t RecordBound(const RowCells& content);
    static char* Encode(const RowCells& content, char* out, size_t bound);
    // Adds a row after the last one from its record; lastCol: its last cell's column.
    void append(uint32_t row, std::string_view record, uint32_t lastCol);
    void reserve(size_t rows);
    // Where the rows end now, to cut them back there later: only rows added after the last one
    // since, none staged.
    struct Mark {
        size_t entries, blocks, fill, used, live;
        uint32_t lastCol;
    };
    Mark mark() const { return {entries_.size(), blocks_.size(), fill_, used_, live_, lastCol_}; }
    void cutBack(const Mark& m);

    uint32_t lastRow() const { return entries_.empty() ? 0 : entries_.back().row; }
    uint32_t lastColumn() const { return lastCol_; }
    size_t bytes() const { return used_; }

private:
    static constexpr size_t MinBlockSize = 16u << 10;
    static constexpr size_t BlockSize = 4u << 20;
    std::vector<LargeBlock> blocks_;
    std::vector<size_t> blockSizes_;
    size_t fill_ = 0; // used bytes of the last block
    size_t used_ = 0;
    size_t live_ = 0;
    uint32_t lastCol_ = 0;
    std::vector<Entry> entries_;
    std::vector<Entry> staged_;
    std::string body_; // a record's body as it is made

    // Room for `size` bytes in the last block; where they go.
    char* room(size_t size, Entry& e);
    Entry store(uint32_t row, const char* record, size_t size);
    size_t storedBytes(const Entry& e) const;
    void compact();
};

} // namespace sheets
