#pragma once
// Reads a worksheet part into a SheetPart as its bytes stream in (from the zip, chunk by chunk),
// so a large sheet is never held whole: the rows go straight into the compact row store, the
// XML around them is written out again in a canonical form as it is read.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RowScanner.h"
#include "SheetPart.h"
#include "XmlParser.h"
#include "base/Result.h"

namespace sheets {

// Hands bytes on; false stops the one who hands them.
using ByteSink = std::function<bool(const char* data, size_t size)>;
// Reads the part into `part` from `source`, which hands the part's bytes to the sink it is given
// and says why it could not. Rows are read by the RowScanner where it takes them; where it gives
// up, the part is read once more (source called again) by the XML parser alone. The reader's
// error has `what` in front; source's own comes as it is.
Result<> ReadSheet(SheetPart& part, const std::function<Result<>(const ByteSink&)>& source,
                   const std::string& what);

class SheetReader : private XmlParser, private RowScanner::Events {
public:
    // quick: the rows go through the RowScanner once sheetData's start tag is read.
    SheetReader(SheetPart& part, bool quick);
    // False (and error()) when the bytes so far are not a worksheet the service can write back.
    bool read(const char* data, size_t size, bool last);
    using XmlParser::error;
    // Rows went through the scanner: a failure may be its own, not the part's.
    bool scanned() const { return scanner_ != nullptr; }

private:
    enum class Where { Head, Rows, Tail };
    SheetPart& part_;
    Where where_ = Where::Head;
    int depth_ = 0;
    std::string uri_;            // the worksheet's namespace
    std::string ownPrefix_;      // the prefix of its sheetData, without ':'
    std::string sheetDataName_;  // as written
    std::string* out_ = nullptr; // where the XML around the rows goes
    bool justOpened_ = false;    // the last thing written to out_ is a start tag
    bool inCols_ = false;
    bool seenDimension_ = false;
    Namespaces namespaces_; // of the next element
    Namespaces scope_;      // declared on the worksheet and sheetData
    std::vector<XmlAttribute> atts_;
    // Looking for the end of sheetData's start tag, to hand the rows after it to the scanner.
    bool quick_ = false;
    size_t matched_ = 0;      // of the name "sheetData", in the bytes so far
    bool armed_ = false;      // the next '>' may end sheetData's start tag
    int cuts_ = 0;            // parses ended at such a '>'
    size_t looked_ = 0;       // bytes looked through
    bool rowsFollow_ = false; // sheetData's start tag ended with the bytes fed
    std::unique_ptr<RowScanner> scanner_;
    bool scanning_ = false;
    size_t nextCut(const char* data, size_t size);
    int skipFrom_ = 0; // depth of an element of a row that is left out, 0 for none
    // The row being read.
    uint32_t row_ = 0, lastRow_ = 0, lastCol_ = 0;
    std::string rowAttrs_;
    std::vector<Cell> cells_;
    // The cells' attributes (besides r and s) and inner XML, as written back.
    struct RawCell {
        std::string attrs, inner;
    };
    // Kept from row to row, so that a cell reuses the strings of the one before it in its
    // place: a million-row sheet then reads without an allocation per cell.
    std::vector<RawCell> rawCells_;
    size_t rawCount_ = 0; // of the row being read
    RawCell& lastRaw() { return rawCells_[rawCount_ - 1]; }
    size_t stagedRows_ = 0;

    // The parser's events, in the form the scanner's come in.
    void startElement(const char* name, const char** atts) override;
    void endElement(const char* name) override;
    void characters(std::string_view text) override;
    void startNamespace(const char* prefix, const char* uri) override;
    bool open(const QName& n, XmlAttributes atts) override;
    bool close(const QName& n) override;
    bool text(std::string_view text) override;
    bool plainElement(const QName& n, std::string_view xml) override;

    // Writes a start tag (namespace declarations first); ref: skip the value of the unprefixed
    // attribute "ref" and note where it stood.
    void appendStart(std::string& out, const QName& n, XmlAttributes atts, size_t* ref = nullptr);
    void appendEnd(std::string& out, const QName& n);
    bool redeclaresOwnPrefix() const;
    void startRow(const QName& n, XmlAttributes atts);
    void startCell(XmlAttributes atts);
    void endRow();
    void checkFrame();
};

} // namespace sheets
