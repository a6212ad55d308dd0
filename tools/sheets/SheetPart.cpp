#include "SheetPart.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <pugixml.hpp>

#include "CellAddress.h"

namespace sheets {

namespace {

constexpr size_t ChunkBytes = 1u << 20;

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

// The start of "<prefix:sheetData" and its prefix.
size_t FindSheetData(const std::string& xml, std::string& prefix) {
    static const std::string_view key = "sheetData";
    for (size_t pos = xml.find(key); pos != std::string::npos; pos = xml.find(key, pos + 1)) {
        size_t b = pos;
        if (b > 0 && xml[b - 1] == ':') {
            --b;
            while (b > 0 && IsNameChar(xml[b - 1]))
                --b;
        }
        const size_t after = pos + key.size();
        if (b == 0 || xml[b - 1] != '<' || after >= xml.size() ||
            !std::strchr(" \t\r\n/>", xml[after]))
            continue;
        prefix = xml.substr(b, pos - b);
        return b - 1;
    }
    return std::string::npos;
}

std::string_view LocalName(const char* name, const std::string& prefix) {
    std::string_view n(name);
    if (!prefix.empty() && n.substr(0, prefix.size()) == prefix)
        n.remove_prefix(prefix.size());
    return n;
}

bool ParseUint(std::string_view t, uint32_t& v) {
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

void AppendNode(std::string& out, const pugi::xml_node& n) {
    switch (n.type()) {
    case pugi::node_element:
        out += '<';
        out += n.name();
        for (const pugi::xml_attribute& a : n.attributes()) {
            out += ' ';
            out += a.name();
            out += "=\"";
            AppendXmlAttr(out, a.value());
            out += '"';
        }
        if (!n.first_child()) {
            out += "/>";
            break;
        }
        out += '>';
        for (const pugi::xml_node& c : n.children())
            AppendNode(out, c);
        out += "</";
        out += n.name();
        out += '>';
        break;
    case pugi::node_pcdata:
    case pugi::node_cdata:
        AppendXmlText(out, n.value(), false);
        break;
    default:
        break;
    }
}

} // namespace

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

bool SheetPart::load(const std::string& xml, std::string& error) {
    const size_t start = FindSheetData(xml, prefix_);
    if (start == std::string::npos) {
        error = "the sheet has no sheetData";
        return false;
    }
    const size_t startEnd = xml.find('>', start);
    if (startEnd == std::string::npos) {
        error = "the sheet's sheetData is cut short";
        return false;
    }
    std::string_view body;
    size_t tailStart = startEnd + 1;
    if (xml[startEnd - 1] != '/') {
        const std::string close = "</" + prefix_ + "sheetData>";
        const size_t end = xml.find(close, startEnd);
        if (end == std::string::npos) {
            error = "the sheet's sheetData is not closed";
            return false;
        }
        body = std::string_view(xml).substr(startEnd + 1, end - startEnd - 1);
        tailStart = end + close.size();
    }
    const std::string head = xml.substr(0, start);
    tail_ = xml.substr(tailStart);

    // The part without its rows must be a well-formed worksheet.
    const std::string frame = head + "<" + prefix_ + "sheetData/>" + tail_;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(frame.data(), frame.size());
    if (!parsed) {
        error = std::string("malformed sheet XML: ") + parsed.description();
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    if (LocalName(root.name(), prefix_) != "worksheet") {
        error = "the part is not a worksheet";
        return false;
    }
    cols_.clear();
    for (const pugi::xml_node& cols : root.children()) {
        if (LocalName(cols.name(), prefix_) != "cols")
            continue;
        for (const pugi::xml_node& col : cols.children()) {
            const uint32_t style = col.attribute("style").as_uint(0);
            if (LocalName(col.name(), prefix_) == "col" && style > 0)
                cols_.push_back(
                    {col.attribute("min").as_uint(0), col.attribute("max").as_uint(0), style + 1});
        }
    }

    // Where the dimension's range stands, to write the new one there.
    hasDimension_ = false;
    headBeforeDimension_ = head;
    headAfterDimension_.clear();
    const size_t dim = head.find("<" + prefix_ + "dimension");
    if (dim != std::string::npos) {
        const size_t ref = head.find("ref=\"", dim);
        const size_t tagEnd = head.find('>', dim);
        if (ref != std::string::npos && ref < tagEnd) {
            const size_t valueEnd = head.find('"', ref + 5);
            if (valueEnd != std::string::npos && valueEnd < tagEnd) {
                hasDimension_ = true;
                headBeforeDimension_ = head.substr(0, ref + 5);
                headAfterDimension_ = head.substr(valueEnd);
            }
        }
    }
    rows = SheetRows();
    return loadRows(body, error);
}

bool SheetPart::loadRows(std::string_view body, std::string& error) {
    const std::string rowClose = "</" + prefix_ + "row>";
    uint32_t lastRow = 0;
    std::vector<std::string> texts; // attributes and payloads of the chunk's rows
    std::vector<SheetRows::NewRow> newRows;
    size_t pos = 0;
    while (pos < body.size()) {
        size_t cut = body.size();
        if (body.size() - pos > ChunkBytes) {
            const size_t close = body.find(rowClose, pos + ChunkBytes);
            if (close != std::string_view::npos)
                cut = close + rowClose.size();
        }
        pugi::xml_document doc;
        const pugi::xml_parse_result parsed = doc.load_buffer(
            body.data() + pos, cut - pos, pugi::parse_default | pugi::parse_fragment);
        if (!parsed) {
            error = std::string("malformed sheet XML: ") + parsed.description();
            return false;
        }
        pos = cut;
        texts.clear();
        newRows.clear();
        size_t count = 0;
        for (const pugi::xml_node& row : doc.children())
            count += row.type() == pugi::node_element
                         ? 1 + size_t(std::distance(row.begin(), row.end())) * 2
                         : 0;
        texts.reserve(count); // views into texts must stay put
        for (const pugi::xml_node& row : doc.children()) {
            if (row.type() != pugi::node_element)
                continue;
            if (LocalName(row.name(), prefix_) != "row") {
                error = std::string("unexpected element in sheetData: ") + row.name();
                return false;
            }
            uint32_t r = lastRow + 1;
            std::string attrs;
            for (const pugi::xml_attribute& a : row.attributes()) {
                const std::string_view n = a.name();
                if (n == "r") {
                    if (!ParseUint(a.value(), r))
                        r = 0;
                } else if (n != "spans") {
                    attrs += ' ';
                    attrs += n;
                    attrs += "=\"";
                    AppendXmlAttr(attrs, a.value());
                    attrs += '"';
                }
            }
            if (r <= lastRow || r > MaxRows) {
                error = "rows out of order or off the sheet";
                return false;
            }
            lastRow = r;
            SheetRows::NewRow nr{r, {}};
            texts.push_back(std::move(attrs));
            nr.content.attrs = texts.back();
            uint32_t lastCol = 0;
            for (const pugi::xml_node& c : row.children()) {
                if (c.type() != pugi::node_element || LocalName(c.name(), prefix_) != "c")
                    continue;
                Cell cell;
                cell.col = lastCol + 1;
                std::string raw;
                for (const pugi::xml_attribute& a : c.attributes()) {
                    const std::string_view n = a.name();
                    if (n == "r") {
                        const auto ref = ParseA1(a.value());
                        cell.col = ref ? ref->col : 0;
                    } else if (n == "s") {
                        uint32_t s = 0;
                        if (ParseUint(a.value(), s))
                            cell.style = s + 1;
                    } else {
                        raw += ' ';
                        raw += n;
                        raw += "=\"";
                        AppendXmlAttr(raw, a.value());
                        raw += '"';
                    }
                }
                if (cell.col <= lastCol || cell.col > MaxColumns) {
                    error = "cells out of order or off the sheet";
                    return false;
                }
                lastCol = cell.col;
                raw += '\0';
                for (const pugi::xml_node& inner : c.children())
                    AppendNode(raw, inner);
                cell.kind = CellKind::Raw;
                texts.push_back(std::move(raw));
                cell.payload = texts.back();
                nr.content.cells.push_back(cell);
            }
            newRows.push_back(std::move(nr));
        }
        rows.put(newRows);
    }
    return true;
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
            pending_ += p.headBeforeDimension_;
            if (p.hasDimension_) {
                pending_ += "A1";
                if (p.rows.lastRow() > 0 && p.rows.lastColumn() > 0) {
                    pending_ += ':';
                    AppendColumnName(pending_, p.rows.lastColumn());
                    pending_ += std::to_string(p.rows.lastRow());
                }
                pending_ += p.headAfterDimension_;
            }
            pending_ += '<' + p.prefix_ + "sheetData>";
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
