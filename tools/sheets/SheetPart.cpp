#include "SheetPart.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "CellAddress.h"
#include "SheetReader.h"

namespace sheets {

void AppendXmlAttr(std::string& out, std::string_view v) {
    for (char c : v) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
}

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

void SheetPart::Writer::restart() {
    pending_.clear();
    pendingPos_ = 0;
    nextRow_ = 0;
    phase_ = 0;
}

size_t SheetPart::Writer::read(char* out, size_t max) {
    if (pending_.size() - pendingPos_ < max)
        fill(max);
    const size_t n = std::min(max, pending_.size() - pendingPos_);
    std::memcpy(out, pending_.data() + pendingPos_, n);
    pendingPos_ += n;
    return n;
}

void SheetPart::Writer::fill(size_t want) {
    pending_.erase(0, pendingPos_);
    pendingPos_ = 0;
    const SheetPart& p = part_;
    const auto& entries = p.rows.entries();
    while (pending_.size() < want && phase_ < 3) {
        if (phase_ == 0) {
            const size_t at = std::min(p.dimensionAt_, p.head_.size());
            pending_.append(p.head_, 0, at);
            if (at < p.head_.size()) {
                pending_ += "A1";
                if (p.rows.lastRow() > 0 && p.rows.lastColumn() > 0) {
                    pending_ += ':';
                    AppendColumnName(pending_, p.rows.lastColumn());
                    pending_ += std::to_string(p.rows.lastRow());
                }
                pending_.append(p.head_, at);
            }
            pending_ += p.sheetDataTag_;
            pending_ += '>';
            phase_ = 1;
        } else if (phase_ == 1) {
            if (nextRow_ < entries.size()) {
                appendRow(entries[nextRow_++]);
            } else {
                pending_ += "</" + p.prefix_ + "sheetData>";
                pending_ += p.tail_;
                phase_ = 3;
            }
        }
    }
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
    columnNames_.resize(std::min<size_t>(part.rows.lastColumn() + 1, 1024));
    for (uint32_t c = 1; c < columnNames_.size(); ++c)
        AppendColumnName(columnNames_[c], c);
}

void SheetPart::Writer::appendRow(const SheetRows::Entry& e) {
    std::string& o = pending_;
    part_.rows.decode(e, scratch_);
    char rowNumber[16];
    const size_t rowDigits =
        size_t(std::to_chars(rowNumber, rowNumber + 16, e.row).ptr - rowNumber);
    o += rowOpen_;
    o.append(rowNumber, rowDigits);
    o += '"';
    o += scratch_.attrs;
    if (scratch_.cells.empty()) {
        o += "/>";
        return;
    }
    o += '>';
    for (const Cell& c : scratch_.cells) {
        o += cellOpen_;
        if (c.col < columnNames_.size())
            o += columnNames_[c.col];
        else
            AppendColumnName(o, c.col);
        o.append(rowNumber, rowDigits);
        o += '"';
        if (c.style > 0) {
            char style[16];
            o += " s=\"";
            o.append(style, size_t(std::to_chars(style, style + 16, c.style - 1).ptr - style));
            o += '"';
        }
        switch (c.kind) {
        case CellKind::Empty:
            o += "/>";
            continue;
        case CellKind::Number:
            o += valueOpen_;
            o += c.payload;
            o += valueClose_;
            break;
        case CellKind::String: {
            o += stringOpen_;
            const char first = c.payload.front(), last = c.payload.back();
            if (std::strchr(" \t\n\r", first) || std::strchr(" \t\n\r", last))
                o += " xml:space=\"preserve\"";
            o += '>';
            AppendXmlText(o, c.payload);
            o += stringClose_;
            break;
        }
        case CellKind::Formula:
            o += formulaOpen_;
            AppendXmlText(o, c.payload, false);
            o += formulaClose_;
            break;
        case CellKind::Raw: {
            const size_t zero = c.payload.find('\0');
            o += c.payload.substr(0, zero);
            const std::string_view inner =
                zero == std::string_view::npos ? std::string_view() : c.payload.substr(zero + 1);
            if (inner.empty()) {
                o += "/>";
                continue;
            }
            o += '>';
            o += inner;
            break;
        }
        }
        o += cellClose_;
    }
    o += rowClose_;
}

} // namespace sheets
