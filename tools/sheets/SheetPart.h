#pragma once
// One worksheet part of the package: the rows in compact form, the XML around them kept as it
// was, and a writer that streams the part out again without building it whole in memory.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SheetRows.h"
#include "base/Result.h"

namespace sheets {

class SheetPart {
public:
    // Takes the part's whole XML; why not when it is not a worksheet the service can write
    // back. SheetReader does the same in pieces.
    Result<> load(std::string_view xml);

    SheetRows rows;
    // The element name prefix the part uses ("" or e.g. "x:").
    const std::string& prefix() const { return prefix_; }
    // Style (index + 1, 0 none) that the column gives to new cells.
    uint32_t columnStyle(uint32_t col) const;
    // Style (index + 1, 0 none) that a row's attributes give to new cells.
    static uint32_t rowStyle(std::string_view attrs);

    // Streams the whole part; read() returns 0 at the end. Rows are written straight into the
    // caller's buffer where they fit, else through a buffer of its own.
    class Writer {
    public:
        explicit Writer(const SheetPart& part);
        size_t read(char* out, size_t max);

        // A piece of markup made once, with room to be copied in one move of a fixed size (a
        // row is made of many short pieces).
        struct Piece {
            static constexpr size_t Room = 48;
            char bytes[Room] = {};
            size_t size = 0;
            std::string longer; // a piece over Room bytes (a long prefix)
            Piece() = default;
            explicit Piece(std::string_view text);
        };

    private:
        const SheetPart& part_;
        std::string pending_;
        size_t pendingPos_ = 0;
        size_t nextRow_ = 0;
        enum class Phase { Head, Rows, Done } phase_ = Phase::Head;
        // The element tags with the part's prefix.
        Piece rowOpen_, rowClose_, emptyClose_, cellClose_, valueOpen_, valueClose_, stringOpen_,
            stringClose_, formulaOpen_, formulaClose_, styleOpen_;
        Piece cellOpen_;               // a cell's tag without its address
        std::vector<Piece> cellOpens_; // with the column's name, by column
        std::vector<Piece> styles_;    // the style attribute of the first styles, by style
        size_t cellMarkup_ = 0;        // the most bytes of a cell's markup besides its texts
        std::string head() const;
        size_t rowBound(const SheetRows::Entry& e) const;
        char* writeRow(char* out, const SheetRows::Entry& e) const;
    };

private:
    friend class SheetReader;
    struct ColumnStyle {
        uint32_t min, max, style;
    };
    std::string prefix_;
    std::string head_;                       // the declaration and the worksheet up to sheetData
    size_t dimensionAt_ = std::string::npos; // where the dimension's range goes into head_
    std::string sheetDataTag_;               // "<sheetData" with its attributes, without '>'
    std::string tail_;                       // after sheetData
    std::vector<ColumnStyle> cols_;
};

} // namespace sheets
