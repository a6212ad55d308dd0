#pragma once
// Reads a worksheet part into a SheetPart as its bytes stream in (from the zip, chunk by chunk),
// so a large sheet is never held whole: the rows go straight into the compact row store, the
// XML around them is written out again in a canonical form as it is read.
#include <string>
#include <utility>
#include <vector>

#include "SheetPart.h"
#include "XmlParser.h"

namespace sheets {

class SheetReader : private XmlParser {
public:
    explicit SheetReader(SheetPart& part);
    // False (and error()) when the bytes so far are not a worksheet the service can write back.
    bool read(const char* data, size_t size, bool last);
    using XmlParser::error;

private:
    enum class Where { Head, Rows, Tail };
    SheetPart& part_;
    Where where_ = Where::Head;
    int depth_ = 0;
    std::string uri_;            // the worksheet's namespace
    std::string ownPrefix_;      // the prefix of its sheetData, without ':'
    std::string* out_ = nullptr; // where the XML around the rows goes
    bool justOpened_ = false;    // the last thing written to out_ is a start tag
    bool inCols_ = false;
    bool seenDimension_ = false;
    std::vector<std::pair<std::string, std::string>> namespaces_; // of the next element
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

    void startElement(const char* name, const char** atts) override;
    void endElement(const char* name) override;
    void characters(std::string_view text) override;
    void startNamespace(const char* prefix, const char* uri) override;

    // Writes a start tag (namespace declarations first); ref: skip the value of the unprefixed
    // attribute "ref" and note where it stood.
    void appendStart(std::string& out, const QName& n, const char** atts, size_t* ref = nullptr);
    void appendEnd(std::string& out, const QName& n);
    bool redeclaresOwnPrefix() const;
    void startRow(const QName& n, const char** atts);
    void startCell(const char** atts);
    void endRow();
    void checkFrame();
};

} // namespace sheets
