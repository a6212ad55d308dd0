#include "SheetPart.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "CellAddress.h"
#include "SheetReader.h"

namespace sheets {

namespace {

char* Put(char* out, std::string_view s) {
    std::memcpy(out, s.data(), s.size());
    return out + s.size();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

constexpr std::string_view Preserve = " xml:space=\"preserve\"";
constexpr std::string_view LargestStyle = " s=\"4294967295\"";
constexpr size_t RowDigits = 10;
constexpr size_t ColumnLetters = 3;

} // namespace

bool SheetPart::load(std::string_view xml, std::string& error) {
    SheetReader reader(*this);
    if (reader.read(xml.data(), xml.size(), true))
        return true;
    error = reader.error();
    return false;
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
    rowOpen_ = '<' + p + "row r=\"";
    rowClose_ = "</" + p + "row>";
    cellOpen_ = '<' + p + "c r=\"";
    cellClose_ = "</" + p + "c>";
    valueOpen_ = "><" + p + "v>";
    valueClose_ = "</" + p + "v>";
    stringOpen_ = " t=\"inlineStr\"><" + p + "is><" + p + "t";
    stringClose_ = "</" + p + "t></" + p + "is>";
    formulaOpen_ = "><" + p + "f>";
    formulaClose_ = "</" + p + "f>";
    columnNames_.resize(part.rows.lastColumn() + 1);
    for (uint32_t c = 1; c < columnNames_.size(); ++c)
        AppendColumnName(columnNames_[c], c);
    cellMarkup_ = cellOpen_.size() + ColumnLetters + RowDigits + 1 + LargestStyle.size() +
                  std::max({valueOpen_.size() + valueClose_.size(),
                            stringOpen_.size() + Preserve.size() + 1 + stringClose_.size(),
                            formulaOpen_.size() + formulaClose_.size(), size_t(2)}) +
                  cellClose_.size();
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
    return rowOpen_.size() + RowDigits + 3 + rowClose_.size() + record * XmlEscapeGrowth +
           (record / 2 + 1) * cellMarkup_;
}

char* SheetPart::Writer::writeRow(char* o, const SheetRows::Entry& e) {
    part_.rows.decode(e, scratch_);
    char number[RowDigits];
    const std::string_view row(
        number, size_t(std::to_chars(number, number + RowDigits, e.row).ptr - number));
    o = Put(o, rowOpen_);
    o = Put(o, row);
    *o++ = '"';
    o = Put(o, scratch_.attrs);
    if (scratch_.cells.empty())
        return Put(o, "/>");
    *o++ = '>';
    std::string name;
    for (const Cell& c : scratch_.cells) {
        o = Put(o, cellOpen_);
        if (c.col < columnNames_.size()) {
            o = Put(o, columnNames_[c.col]);
        } else {
            name.clear();
            AppendColumnName(name, c.col);
            o = Put(o, name);
        }
        o = Put(o, row);
        *o++ = '"';
        if (c.style > 0) {
            o = Put(o, " s=\"");
            o = std::to_chars(o, o + RowDigits, c.style - 1).ptr;
            *o++ = '"';
        }
        switch (c.kind) {
        case CellKind::Empty:
            o = Put(o, "/>");
            continue;
        case CellKind::Number:
            o = Put(o, valueOpen_);
            o = Put(o, c.payload);
            o = Put(o, valueClose_);
            break;
        case CellKind::String:
            o = Put(o, stringOpen_);
            if (!c.payload.empty() && (IsBlank(c.payload.front()) || IsBlank(c.payload.back())))
                o = Put(o, Preserve);
            *o++ = '>';
            o = WriteXml(o, c.payload, XmlEscape::CellText);
            o = Put(o, stringClose_);
            break;
        case CellKind::Formula:
            o = Put(o, formulaOpen_);
            o = WriteXml(o, c.payload, XmlEscape::Text);
            o = Put(o, formulaClose_);
            break;
        case CellKind::Raw:
            o = Put(o, c.attrs);
            if (c.payload.empty()) {
                o = Put(o, "/>");
                continue;
            }
            *o++ = '>';
            o = Put(o, c.payload);
            break;
        }
        o = Put(o, cellClose_);
    }
    return Put(o, rowClose_);
}

} // namespace sheets
