#include "SheetReader.h"

#include "CellAddress.h"
#include "ServiceLimits.h"

namespace sheets {

namespace {

constexpr size_t RowsPerCommit = 65536;
constexpr const char* Declaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// An attribute of the worksheet's own vocabulary: one without a prefix.
bool Plain(const QName& a, std::string_view local) {
    return a.uri.empty() && a.local == local;
}

} // namespace

SheetReader::SheetReader(SheetPart& part) : part_(part) {
    part_.rows = SheetRows();
    part_.prefix_.clear();
    part_.head_ = Declaration;
    part_.dimensionAt_ = std::string::npos;
    part_.sheetDataTag_.clear();
    part_.tail_.clear();
    part_.cols_.clear();
}

bool SheetReader::read(const char* data, size_t size, bool last) {
    if (!feed(data, size, last))
        return false;
    if (last) {
        if (where_ != Where::Tail) {
            fail("the sheet has no sheetData");
            return false;
        }
        part_.rows.commit();
    }
    return true;
}

void SheetReader::startNamespace(const char* prefix, const char* uri) {
    namespaces_.emplace_back(prefix ? prefix : "", uri ? uri : "");
}

void SheetReader::appendStart(std::string& out, const QName& n, const char** atts, size_t* ref) {
    out += '<';
    AppendQName(out, n);
    AppendNamespaces(out, namespaces_);
    for (size_t i = 0; atts[i]; i += 2) {
        const QName a = SplitName(atts[i]);
        if (ref && Plain(a, "ref")) {
            out += " ref=\"";
            *ref = out.size();
            out += '"';
        } else {
            AppendAttribute(out, a, atts[i + 1]);
        }
    }
    out += '>';
    justOpened_ = true;
}

void SheetReader::appendEnd(std::string& out, const QName& n) {
    if (justOpened_) {
        out.back() = '/';
        out += '>';
    } else {
        out += "</";
        AppendQName(out, n);
        out += '>';
    }
    justOpened_ = false;
}

void SheetReader::checkFrame() {
    if (part_.head_.size() + part_.tail_.size() > limits::SheetFrameBytes)
        stop("the sheet's XML besides its rows is over " +
             std::to_string(limits::SheetFrameBytes >> 20) + " MiB");
}

bool SheetReader::redeclaresOwnPrefix() const {
    for (const auto& [prefix, uri] : namespaces_)
        if (prefix == ownPrefix_ && uri != uri_)
            return true;
    return false;
}

void SheetReader::startElement(const char* name, const char** atts) {
    ++depth_;
    const QName n = SplitName(name);
    if (depth_ == 1) {
        if (n.local != "worksheet")
            return stop("the part is not a worksheet");
        uri_ = n.uri;
        out_ = &part_.head_;
        appendStart(*out_, n, atts);
    } else if (depth_ == 2 && n.uri == uri_ && n.local == "sheetData") {
        if (where_ != Where::Head)
            return stop("the sheet has a second sheetData");
        ownPrefix_ = n.prefix;
        part_.prefix_ = n.prefix.empty() ? std::string() : ownPrefix_ + ':';
        appendStart(part_.sheetDataTag_, n, atts);
        part_.sheetDataTag_.pop_back(); // its '>' (or "/>") is the writer's
        justOpened_ = false;
        where_ = Where::Rows;
    } else if (where_ == Where::Rows) {
        if (depth_ == 3)
            startRow(n, atts);
        else if (skipFrom_ == 0 && depth_ == 4 && n.uri == uri_ && n.local == "c")
            startCell(atts);
        else if (skipFrom_ == 0 && depth_ == 4)
            skipFrom_ = depth_; // not a cell: left out with everything in it
        else if (skipFrom_ == 0)
            appendStart(lastRaw().inner, n, atts);
    } else {
        size_t ref = std::string::npos;
        const bool dimension = where_ == Where::Head && depth_ == 2 && n.uri == uri_ &&
                               n.local == "dimension" && part_.dimensionAt_ == std::string::npos;
        if (depth_ == 2)
            inCols_ = where_ == Where::Head && n.uri == uri_ && n.local == "cols";
        if (inCols_ && depth_ == 3 && n.uri == uri_ && n.local == "col") {
            uint32_t min = 0, max = 0, style = 0;
            for (size_t i = 0; atts[i]; i += 2) {
                const QName a = SplitName(atts[i]);
                if (Plain(a, "min"))
                    ParseUint(atts[i + 1], min);
                else if (Plain(a, "max"))
                    ParseUint(atts[i + 1], max);
                else if (Plain(a, "style"))
                    ParseUint(atts[i + 1], style);
            }
            if (style > 0)
                part_.cols_.push_back({min, max, style + 1});
        }
        appendStart(*out_, n, atts, dimension ? &ref : nullptr);
        if (dimension)
            part_.dimensionAt_ = ref;
        checkFrame();
    }
    namespaces_.clear();
}

void SheetReader::startRow(const QName& n, const char** atts) {
    if (n.uri != uri_ || n.local != "row") {
        std::string qname;
        AppendQName(qname, n);
        return stop("unexpected element in sheetData: " + qname);
    }
    if (redeclaresOwnPrefix())
        return stop("a row gives the sheet's prefix another namespace");
    uint32_t r = lastRow_ + 1;
    rowAttrs_.clear();
    AppendNamespaces(rowAttrs_, namespaces_);
    for (size_t i = 0; atts[i]; i += 2) {
        const QName a = SplitName(atts[i]);
        if (Plain(a, "r")) {
            if (!ParseUint(atts[i + 1], r))
                r = 0;
        } else if (!Plain(a, "spans")) { // spans are a hint that changes with the cells
            AppendAttribute(rowAttrs_, a, atts[i + 1]);
        }
    }
    if (r <= lastRow_ || r > MaxRows)
        return stop("rows out of order or off the sheet");
    row_ = lastRow_ = r;
    lastCol_ = 0;
    cells_.clear();
    rawCount_ = 0;
}

void SheetReader::startCell(const char** atts) {
    if (redeclaresOwnPrefix())
        return stop("a cell gives the sheet's prefix another namespace");
    Cell cell;
    cell.col = lastCol_ + 1;
    cell.kind = CellKind::Raw;
    if (rawCount_ == rawCells_.size())
        rawCells_.emplace_back();
    RawCell& raw = rawCells_[rawCount_++];
    raw.attrs.clear();
    raw.inner.clear();
    AppendNamespaces(raw.attrs, namespaces_);
    for (size_t i = 0; atts[i]; i += 2) {
        const QName a = SplitName(atts[i]);
        uint32_t style = 0;
        if (Plain(a, "r")) {
            const auto ref = ParseA1(atts[i + 1]);
            cell.col = ref ? ref->col : 0;
        } else if (Plain(a, "s")) {
            if (ParseUint(atts[i + 1], style))
                cell.style = style + 1;
        } else {
            AppendAttribute(raw.attrs, a, atts[i + 1]);
        }
    }
    if (cell.col <= lastCol_ || cell.col > MaxColumns)
        return stop("cells out of order or off the sheet");
    lastCol_ = cell.col;
    cells_.push_back(cell);
    justOpened_ = false;
}

void SheetReader::endRow() {
    RowCells row;
    row.attrs = rowAttrs_;
    row.cells.swap(cells_);
    for (size_t i = 0; i < row.cells.size(); ++i) {
        row.cells[i].attrs = rawCells_[i].attrs;
        row.cells[i].payload = rawCells_[i].inner;
    }
    part_.rows.stage(row_, row);
    row.cells.swap(cells_);
    if (++stagedRows_ % RowsPerCommit == 0)
        part_.rows.commit();
}

void SheetReader::endElement(const char* name) {
    const QName n = SplitName(name);
    if (where_ == Where::Rows) {
        if (depth_ == 2) {
            where_ = Where::Tail;
            out_ = &part_.tail_;
            justOpened_ = false;
        } else if (depth_ == 3) {
            endRow();
        } else if (skipFrom_ != 0) {
            if (depth_ == skipFrom_)
                skipFrom_ = 0;
        } else if (depth_ > 4) {
            appendEnd(lastRaw().inner, n);
        }
    } else if (out_) {
        appendEnd(*out_, n);
        checkFrame();
    }
    --depth_;
}

void SheetReader::characters(std::string_view text) {
    if (where_ == Where::Rows) {
        if (depth_ >= 4 && skipFrom_ == 0) { // the text of a cell, or of an element in it
            AppendXml(lastRaw().inner, text, XmlEscape::Text);
            justOpened_ = false;
        }
        return;
    }
    if (!out_ || depth_ == 0)
        return;
    AppendXml(*out_, text, XmlEscape::Text);
    justOpened_ = false;
    checkFrame();
}

} // namespace sheets
