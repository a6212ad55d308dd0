#include "SheetPart.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "CellAddress.h"
#include "SheetReader.h"

namespace sheets {

namespace {

using Piece = SheetPart::Writer::Piece;

[[gnu::always_inline]] inline char* Put(char* out, const Piece& p) {
    if (p.size > Piece::Room) {
        std::memcpy(out, p.longer.data(), p.size);
        return out + p.size;
    }
    std::memcpy(out, p.bytes, Piece::Room); // the room past the piece is written over next
    return out + p.size;
}

// A text of the cells: mostly short, copied without a call where it is.
[[gnu::always_inline]] inline char* Put(char* out, std::string_view s) {
    const char* p = s.data();
    const size_t n = s.size();
    if (n >= 8 && n <= 16) {
        std::memcpy(out, p, 8);
        std::memcpy(out + n - 8, p + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(out, p, 4);
        std::memcpy(out + n - 4, p + n - 4, 4);
    } else if (n > 16) {
        std::memcpy(out, p, n);
    } else {
        for (size_t i = 0; i < n; ++i)
            out[i] = p[i];
    }
    return out + n;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

constexpr std::string_view Preserve = " xml:space=\"preserve\"";
constexpr size_t NumberRoom = 16; // a row or style number, written with room to spare

} // namespace

SheetPart::Writer::Piece::Piece(std::string_view text) : size(text.size()) {
    if (size <= Room)
        std::memcpy(bytes, text.data(), size);
    else
        longer = text;
}

Result<> SheetPart::load(std::string_view xml) {
    return ReadSheet(*this,
                     [xml](const ByteSink& sink) -> Result<> {
                         if (sink(xml.data(), xml.size()))
                             return {};
                         return Fail(QString());
                     },
                     {});
}

uint32_t SheetPart::columnStyle(uint32_t col) const {
    for (const ColumnStyle& c : cols_)
        if (col >= c.min && col <= c.max)
            return c.style;
    return 0;
}

uint32_t SheetPart::rowStyle(std::string_view attrs) {
    if (attrs.find(" customFormat=\"1\"") == std::string_view::npos &&
        attrs.find(" customFormat=\"true\"") == std::string_view::npos)
        return 0;
    const size_t s = attrs.find(" s=\"");
    uint32_t v = 0;
    if (s == std::string_view::npos)
        return 0;
    const size_t end = attrs.find('"', s + 4);
    return ParseUint(attrs.substr(s + 4, end - s - 4), v) ? v + 1 : 0;
}

SheetPart::Writer::Writer(const SheetPart& part) : part_(part) {
    const std::string& p = part.prefix_;
    rowOpen_ = Piece('<' + p + "row r=\"");
    rowClose_ = Piece("</" + p + "row>");
    emptyClose_ = Piece("/>");
    cellClose_ = Piece("</" + p + "c>");
    valueOpen_ = Piece("><" + p + "v>");
    // The ends of values and texts close their cell too: one copy fewer per cell.
    valueClose_ = Piece("</" + p + "v></" + p + "c>");
    stringOpen_ = Piece(" t=\"inlineStr\"><" + p + "is><" + p + "t");
    stringClose_ = Piece("</" + p + "t></" + p + "is></" + p + "c>");
    formulaOpen_ = Piece("><" + p + "f>");
    formulaClose_ = Piece("</" + p + "f>");
    styleOpen_ = Piece(" s=\"");
    cellOpen_ = Piece('<' + p + "c");
    cellOpens_.resize(part.rows.lastColumn() + 1);
    std::string open;
    for (uint32_t c = 1; c < cellOpens_.size(); ++c) {
        open = '<' + p + "c r=\"";
        AppendColumnName(open, c);
        cellOpens_[c] = Piece(open);
    }
    // Most cells of a sheet have one of its first few styles.
    styles_.resize(64);
    for (uint32_t style = 1; style < styles_.size(); ++style)
        styles_[style] =
            Piece(std::string(styleOpen_.bytes, styleOpen_.size) + std::to_string(style - 1) + '"');
    const auto room = [](const Piece& piece) { return std::max(piece.size, Piece::Room); };
    cellMarkup_ = room(cellOpens_.empty() ? Piece() : cellOpens_.back()) + NumberRoom + 1 +
                  room(styleOpen_) + NumberRoom + 1 +
                  std::max({room(valueOpen_) + room(valueClose_),
                            room(stringOpen_) + Preserve.size() + 1 + room(stringClose_),
                            room(formulaOpen_) + room(formulaClose_), room(emptyClose_)}) +
                  room(cellClose_);
}
std::string SheetPart::Writer::head() const {
    const SheetPart& p = part_;
    std::string out;
    const size_t at = std::min(p.dimensionAt_, p.head_.size());
    out.append(p.head_, 0, at);
    if (at < p.head_.size()) {
        out += "A1";
        if (p.rows.lastRow() > 0 && p.rows.lastColumn() > 0) {
            out += ':';
            AppendColumnName(out, p.rows.lastColumn());
            out += std::to_string(p.rows.lastRow());
        }
        out.append(p.head_, at);
    }
    out += p.sheetDataTag_;
    out += '>';
    return out;
}

size_t SheetPart::Writer::read(char* out, size_t max) {
    const auto& entries = part_.rows.entries();
    size_t n = 0;
    while (n < max) {
        if (pendingPos_ < pending_.size()) {
            const size_t k = std::min(max - n, pending_.size() - pendingPos_);
            std::memcpy(out + n, pending_.data() + pendingPos_, k);
            n += k;
            pendingPos_ += k;
            continue;
        }
        pending_.clear();
        pendingPos_ = 0;
        if (phase_ == Phase::Head) {
            pending_ = head();
            phase_ = Phase::Rows;
        } else if (phase_ == Phase::Rows && nextRow_ < entries.size()) {
            const SheetRows::Entry& e = entries[nextRow_++];
            const size_t bound = rowBound(e);
            if (max - n >= bound) {
                n = size_t(writeRow(out + n, e) - out);
            } else {
                pending_.resize(bound);
                pending_.resize(size_t(writeRow(pending_.data(), e) - pending_.data()));
            }
        } else if (phase_ == Phase::Rows) {
            pending_ = "</" + part_.prefix_ + "sheetData>" + part_.tail_;
            phase_ = Phase::Done;
        } else {
            break;
        }
    }
    return n;
}

size_t SheetPart::Writer::rowBound(const SheetRows::Entry& e) const {
    // Every cell takes at least two bytes of the record; no text is longer than the record.
    const size_t record = part_.rows.recordBytes(e);
    const auto room = [](const Piece& piece) { return std::max(piece.size, Piece::Room); };
    return room(rowOpen_) + NumberRoom + 2 + room(emptyClose_) + room(rowClose_) +
           record * XmlEscapeGrowth + (record / 2 + 1) * cellMarkup_;
}

char* SheetPart::Writer::writeRow(char* o, const SheetRows::Entry& e) const {
    SheetRows::Cursor cells = part_.rows.cursor(e);
    char number[NumberRoom];
    const size_t digits = size_t(std::to_chars(number, number + NumberRoom, e.row).ptr - number);
    o = Put(o, rowOpen_);
    std::memcpy(o, number, NumberRoom);
    o += digits;
    *o++ = '"';
    o = Put(o, cells.attrs);
    Cell c;
    if (!cells.next(c))
        return Put(o, emptyClose_);
    *o++ = '>';
    uint32_t previous = 0;
    do {
        // A cell right after the one before has its place without its address: a fifth of a
        // sheet's bytes and most of what the compressor finds hard. A cell kept as it came keeps
        // it (a shared formula is read relative to it).
        if (c.col == previous + 1 && c.kind != CellKind::Raw) {
            o = Put(o, cellOpen_);
        } else {
            if (c.col < cellOpens_.size()) {
                o = Put(o, cellOpens_[c.col]);
            } else { // not after the last column: only a damaged record
                std::string open = "<" + part_.prefix_ + "c r=\"";
                AppendColumnName(open, c.col);
                o = Put(o, Piece(open));
            }
            std::memcpy(o, number, NumberRoom);
            o += digits;
            *o++ = '"';
        }
        previous = c.col;
        if (c.style > 0 && c.style < styles_.size()) {
            o = Put(o, styles_[c.style]);
        } else if (c.style > 0) {
            o = Put(o, styleOpen_);
            o = std::to_chars(o, o + NumberRoom, c.style - 1).ptr;
            *o++ = '"';
        }
        switch (c.kind) {
        case CellKind::Empty:
            o = Put(o, emptyClose_);
            continue;
        case CellKind::Number:
            o = Put(o, valueOpen_);
            o = Put(o, c.payload);
            o = Put(o, valueClose_);
            continue;
        case CellKind::String:
            o = Put(o, stringOpen_);
            if (!c.payload.empty() && (IsBlank(c.payload.front()) || IsBlank(c.payload.back())))
                o = Put(o, Preserve);
            *o++ = '>';
            o = WriteXml(o, c.payload, XmlEscape::CellText);
            o = Put(o, stringClose_);
            continue;
        case CellKind::Formula:
            o = Put(o, formulaOpen_);
            o = WriteXml(o, c.payload, XmlEscape::Text);
            o = Put(o, formulaClose_);
            break;
        case CellKind::Raw:
            o = Put(o, c.attrs);
            if (c.payload.empty()) {
                o = Put(o, emptyClose_);
                continue;
            }
            *o++ = '>';
            o = Put(o, c.payload);
            break;
        }
        o = Put(o, cellClose_);
    } while (cells.next(c));
    return Put(o, rowClose_);
}

} // namespace sheets
