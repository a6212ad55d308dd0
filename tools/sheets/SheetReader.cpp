#include "SheetReader.h"

#include "CellAddress.h"
#include "ServiceLimits.h"

namespace sheets {

namespace {

constexpr size_t RowsPerCommit = 65536;
// sheetData's start tag is looked for this far and this many times; past that the parser reads
// on alone.
constexpr size_t MaxLook = 1u << 20;
constexpr int MaxCuts = 16;
constexpr const char* Declaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// An attribute of the worksheet's own vocabulary: one without a prefix.
bool Plain(const QName& a, std::string_view local) {
    return a.uri.empty() && a.local == local;
}

} // namespace

Result<> ReadSheet(SheetPart& part, const std::function<Result<>(const ByteSink&)>& source,
                   const std::string& what) {
    for (const bool quick : {true, false}) {
        SheetReader reader(part, quick);
        const Result<> streamed = source(
            [&reader](const char* data, size_t size) { return reader.read(data, size, false); });
        if (streamed && reader.read(nullptr, 0, true))
            return {};
        if (quick && reader.scanned())
            continue;
        if (!streamed && !streamed.error().text.isEmpty())
            return streamed;
        return Fail(QString::fromStdString(what + reader.error()));
    }
    return Fail(QStringLiteral("unreachable"));
}

SheetReader::SheetReader(SheetPart& part, bool quick) : part_(part), quick_(quick) {
    part_.rows = SheetRows();
    part_.prefix_.clear();
    part_.head_ = Declaration;
    part_.dimensionAt_ = std::string::npos;
    part_.sheetDataTag_.clear();
    part_.tail_.clear();
    part_.cols_.clear();
}

size_t SheetReader::nextCut(const char* data, size_t size) {
    static constexpr std::string_view Name = "sheetData";
    if (!quick_ || where_ != Where::Head || cuts_ >= MaxCuts || looked_ >= MaxLook)
        return size;
    const size_t look = std::min(size, MaxLook - looked_);
    looked_ += look;
    for (size_t i = 0; i < look; ++i) {
        const char c = data[i];
        if (armed_ && c == '>') {
            armed_ = false;
            ++cuts_;
            return i + 1;
        }
        matched_ = c == Name[matched_] ? matched_ + 1 : c == Name[0] ? 1 : 0;
        if (matched_ == Name.size()) {
            armed_ = true;
            matched_ = 0;
        }
    }
    return size;
}

bool SheetReader::read(const char* data, size_t size, bool last) {
    for (;;) {
        if (scanning_) {
            const RowScanner::Status s = scanner_->feed(data, size);
            if (s == RowScanner::Status::GaveUp || (s == RowScanner::Status::More && last)) {
                fail("the rows are not in a form the scanner takes");
                return false;
            }
            if (!error().empty())
                return false;
            if (s == RowScanner::Status::More)
                return true;
            scanning_ = false; // the rest is the parser's, from sheetData's end tag on
            const std::string_view before = scanner_->before();
            if (!before.empty() && !feed(before.data(), before.size(), false))
                return false;
        }
        const size_t n = nextCut(data, size);
        rowsFollow_ = false;
        if (!feed(data, n, last && n == size))
            return false;
        data += n;
        size -= n;
        if (rowsFollow_ && where_ == Where::Rows) {
            RowScanner::Events& events = *this;
            scanner_ = std::make_unique<RowScanner>(events, scope_, sheetDataName_);
            scanning_ = true;
            continue;
        }
        if (size == 0)
            break;
    }
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

void SheetReader::startElement(const char* name, const char** atts) {
    atts_.clear();
    for (size_t i = 0; atts[i]; i += 2)
        atts_.push_back({SplitName(atts[i]), atts[i + 1]});
    open(SplitName(name), atts_);
}

void SheetReader::endElement(const char* name) {
    close(SplitName(name));
}

void SheetReader::characters(std::string_view text) {
    this->text(text);
}

void SheetReader::appendStart(std::string& out, const QName& n, XmlAttributes atts, size_t* ref) {
    out += '<';
    AppendQName(out, n);
    AppendNamespaces(out, namespaces_);
    for (const XmlAttribute& a : atts) {
        if (ref && Plain(a.name, "ref")) {
            out += " ref=\"";
            *ref = out.size();
            out += '"';
        } else {
            AppendAttribute(out, a.name, a.value);
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

bool SheetReader::open(const QName& n, XmlAttributes atts) {
    ++depth_;
    if (depth_ == 1) {
        if (n.local != "worksheet") {
            stop("the part is not a worksheet");
            return false;
        }
        uri_ = n.uri;
        out_ = &part_.head_;
        scope_ = namespaces_;
        appendStart(*out_, n, atts);
    } else if (depth_ == 2 && n.uri == uri_ && n.local == "sheetData") {
        if (where_ != Where::Head) {
            stop("the sheet has a second sheetData");
            return false;
        }
        ownPrefix_ = n.prefix;
        part_.prefix_ = n.prefix.empty() ? std::string() : ownPrefix_ + ':';
        scope_.insert(scope_.end(), namespaces_.begin(), namespaces_.end());
        sheetDataName_.clear();
        AppendQName(sheetDataName_, n);
        appendStart(part_.sheetDataTag_, n, atts);
        part_.sheetDataTag_.pop_back(); // its '>' (or "/>") is the writer's
        justOpened_ = false;
        where_ = Where::Rows;
        rowsFollow_ = quick_ && startTagEndsInput();
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
            for (const XmlAttribute& a : atts) {
                if (Plain(a.name, "min"))
                    ParseUint(a.value, min);
                else if (Plain(a.name, "max"))
                    ParseUint(a.value, max);
                else if (Plain(a.name, "style"))
                    ParseUint(a.value, style);
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
    return error().empty();
}

void SheetReader::startRow(const QName& n, XmlAttributes atts) {
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
    for (const XmlAttribute& a : atts) {
        if (Plain(a.name, "r")) {
            if (!ParseUint(a.value, r))
                r = 0;
        } else if (!Plain(a.name, "spans")) { // spans are a hint that changes with the cells
            AppendAttribute(rowAttrs_, a.name, a.value);
        }
    }
    if (r <= lastRow_ || r > MaxRows)
        return stop("rows out of order or off the sheet");
    row_ = lastRow_ = r;
    lastCol_ = 0;
    cells_.clear();
    rawCount_ = 0;
}

void SheetReader::startCell(XmlAttributes atts) {
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
    for (const XmlAttribute& a : atts) {
        uint32_t style = 0;
        if (Plain(a.name, "r")) {
            const auto ref = ParseA1(a.value);
            cell.col = ref ? ref->col : 0;
        } else if (Plain(a.name, "s")) {
            if (ParseUint(a.value, style))
                cell.style = style + 1;
        } else {
            AppendAttribute(raw.attrs, a.name, a.value);
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

bool SheetReader::close(const QName& n) {
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
    return error().empty();
}

bool SheetReader::text(std::string_view text) {
    if (where_ == Where::Rows) {
        if (depth_ >= 4 && skipFrom_ == 0) { // the text of a cell, or of an element in it
            AppendXml(lastRaw().inner, text, XmlEscape::Text);
            justOpened_ = false;
        }
        return true;
    }
    if (!out_ || depth_ == 0)
        return true;
    AppendXml(*out_, text, XmlEscape::Text);
    justOpened_ = false;
    checkFrame();
    return error().empty();
}

bool SheetReader::plainElement(const QName&, std::string_view xml) {
    // Where its start tag, text and end tag would go, as they would be written: the same bytes.
    if (where_ == Where::Rows && depth_ >= 4 && skipFrom_ == 0) {
        lastRaw().inner += xml;
        justOpened_ = false;
    }
    return true;
}

} // namespace sheets
