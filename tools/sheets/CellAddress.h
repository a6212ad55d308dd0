#pragma once
// Cell addresses in the service's "R1C1" notation (with the row and column letters it answers
// with) and the column names of the package's "A1" notation.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace sheets {

constexpr uint32_t MaxRows = 1048576;
constexpr uint32_t MaxColumns = 16384;

struct CellRef {
    uint32_t row = 1; // 1-based
    uint32_t col = 1; // 1-based
    bool operator==(const CellRef&) const = default;
};

struct CellRange {
    CellRef first;
    CellRef last;
    uint32_t rows() const { return last.row - first.row + 1; }
    uint32_t cols() const { return last.col - first.col + 1; }
};

// The letters of "row" and "column" in R1C1 addresses.
struct AddressLetters {
    QChar row{'R'};
    QChar col{'C'};
};

// "R12C3" with the given letters (case-insensitive); rows and columns must lie on the sheet.
std::optional<CellRef> ParseCell(QStringView text, AddressLetters letters);
// Either letter pair is accepted: the commands always take R and C.
std::optional<CellRef> ParseCellAnyLetters(QStringView text, AddressLetters letters);
// "R1C1:R5C7" or a single cell; the first cell must not lie below or right of the last.
std::optional<CellRange> ParseRange(QStringView text, AddressLetters letters);
// Why ParseRange refuses the text: past the sheet's last row or column, or not a range at all.
QString RangeProblem(QStringView text, AddressLetters letters);
QString FormatCell(CellRef cell, AddressLetters letters);

// "A", "Z", "AA", ..., "XFD".
void AppendColumnName(std::string& out, uint32_t col);
// "B7" -> {7, 2}; nothing when the text is not a cell name on the sheet.
std::optional<CellRef> ParseA1(std::string_view text);
// A number attribute of the package: decimal digits only.
bool ParseUint(std::string_view text, uint32_t& value);

} // namespace sheets
