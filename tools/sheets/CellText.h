#pragma once
// How a written text becomes a cell, as a spreadsheet treats typed text: a number where it reads
// as one (unless the cell is formatted as text), a formula after "=", else a string. And the
// escaping that keeps any text exact inside the package's XML.
#include <cstdint>
#include <string>
#include <string_view>

namespace sheets {

enum class CellKind : uint8_t {
    Empty = 0,   // no value (a style may remain)
    Number = 1,  // payload: the number in the package's notation
    String = 2,  // payload: the text
    Formula = 3, // payload: the formula without its "="
    Raw = 4,     // a cell read from the file: its attributes, '\0', its inner XML
};

struct CellValue {
    CellKind kind = CellKind::Empty;
    std::string payload;
};

// text: UTF-8. decimalSeparator: the operator's, UTF-8 ("." is always accepted too).
CellValue ClassifyCellText(std::string_view text, std::string_view decimalSeparator,
                           bool formattedAsText);

// Element text: &, <, > as entities, CR as a character reference (a raw CR would read back as
// LF), characters XML cannot carry and a literal "_xHHHH_" in the package's _xHHHH_ escape.
void AppendXmlText(std::string& out, std::string_view text, bool escapeUnderscores = true);
// The reverse of the _xHHHH_ escape, for texts read from the package.
std::string DecodeUnderscoreEscapes(std::string_view text);

} // namespace sheets
