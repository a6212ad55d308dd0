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
    Raw = 4,     // a cell read from the file: payload its inner XML, with its attributes
};

struct CellValue {
    CellKind kind = CellKind::Empty;
    std::string_view payload; // in the text, or in the scratch of ClassifyCellText
};

// text: UTF-8. decimalSeparator: the operator's, UTF-8 ("." is always accepted too). A number
// written anew in the package's notation goes into scratch.
CellValue ClassifyCellText(std::string_view text, std::string_view decimalSeparator,
                           bool formattedAsText, std::string& scratch);

// The one escaper of the service's XML. Everywhere &, < and characters XML cannot carry; CR as a
// character reference (a raw CR would read back as LF).
enum class XmlEscape {
    Text,     // element text: > as an entity too, characters XML cannot carry as _xHHHH_
    CellText, // the same, and a literal "_xHHHH_" escaped, so that it reads back as written
    Attribute // attribute value in double quotes: " as an entity, TAB and LF as references
};
// The most bytes one byte of text becomes.
constexpr size_t XmlEscapeGrowth = 7;
// Writes the escaped text at out, which has room for XmlEscapeGrowth bytes a byte of text;
// returns the end of what it wrote.
char* WriteXml(char* out, std::string_view text, XmlEscape how);
void AppendXml(std::string& out, std::string_view text, XmlEscape how);
// The reverse of the _xHHHH_ escape, for texts read from the package.
std::string DecodeUnderscoreEscapes(std::string_view text);

} // namespace sheets
