#include "CellAddress.h"

#include <algorithm>
#include <charconv>

#include "ShownText.h"

namespace sheets {

namespace {

// Reads decimal digits at pos (at most 12, so a far row still reads as a number).
bool ReadNumber(QStringView t, qsizetype& pos, uint64_t& value) {
    uint64_t v = 0;
    const qsizetype start = pos;
    while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') {
        if (pos - start == 12)
            return false;
        v = v * 10 + uint64_t(t[pos].unicode() - '0');
        ++pos;
    }
    if (pos == start || v == 0)
        return false;
    value = v;
    return true;
}

bool IsLetter(QChar c, QChar letter) {
    return c.toUpper() == letter.toUpper();
}

// "R12C3" with any row and column number from 1 up.
bool ReadCell(QStringView text, AddressLetters letters, uint64_t& row, uint64_t& col) {
    qsizetype pos = 0;
    if (text.isEmpty() || !IsLetter(text[0], letters.row))
        return false;
    ++pos;
    if (!ReadNumber(text, pos, row) || pos >= text.size() || !IsLetter(text[pos], letters.col))
        return false;
    ++pos;
    return ReadNumber(text, pos, col) && pos == text.size();
}

} // namespace

std::optional<CellRef> ParseCell(QStringView text, AddressLetters letters) {
    uint64_t row = 0, col = 0;
    if (!ReadCell(text, letters, row, col) || row > MaxRows || col > MaxColumns)
        return std::nullopt;
    return CellRef{uint32_t(row), uint32_t(col)};
}

std::optional<CellRef> ParseCellAnyLetters(QStringView text, AddressLetters letters) {
    if (auto c = ParseCell(text, letters))
        return c;
    return ParseCell(text, AddressLetters{});
}

std::optional<CellRange> ParseRange(QStringView text, AddressLetters letters) {
    const qsizetype colon = text.indexOf(':');
    const auto first = ParseCell(colon < 0 ? text : text.left(colon), letters);
    const auto last = colon < 0 ? first : ParseCell(text.mid(colon + 1), letters);
    if (!first || !last || first->row > last->row || first->col > last->col)
        return std::nullopt;
    return CellRange{*first, *last};
}

QString RangeProblem(QStringView text, AddressLetters letters) {
    const qsizetype colon = text.indexOf(':');
    const QStringView first = colon < 0 ? text : text.left(colon);
    const QStringView last = colon < 0 ? text : text.mid(colon + 1);
    uint64_t row1 = 0, col1 = 0, row2 = 0, col2 = 0;
    if (ReadCell(first, letters, row1, col1) && ReadCell(last, letters, row2, col2)) {
        if (std::max(row1, row2) > MaxRows)
            return QStringLiteral("%1 reaches past the last row of a sheet, %2")
                .arg(Shown(text))
                .arg(MaxRows);
        if (std::max(col1, col2) > MaxColumns)
            return QStringLiteral("%1 reaches past the last column of a sheet, %2")
                .arg(Shown(text))
                .arg(MaxColumns);
    }
    return QStringLiteral("%1 is not a range of the sheet").arg(Shown(text));
}

QString FormatCell(CellRef cell, AddressLetters letters) {
    return letters.row + QString::number(cell.row) + letters.col + QString::number(cell.col);
}

void AppendColumnName(std::string& out, uint32_t col) {
    char buf[4];
    int n = 0;
    while (col > 0 && n < 4) {
        --col;
        buf[n++] = char('A' + col % 26);
        col /= 26;
    }
    while (n > 0)
        out.push_back(buf[--n]);
}

std::optional<CellRef> ParseA1(std::string_view t) {
    size_t i = 0;
    uint64_t col = 0, row = 0;
    while (i < t.size() && t[i] >= 'A' && t[i] <= 'Z' && i < 3)
        col = col * 26 + uint64_t(t[i++] - 'A' + 1);
    const size_t digits = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9' && row <= MaxRows)
        row = row * 10 + uint64_t(t[i++] - '0');
    if (digits == 0 || i == digits || i != t.size() || col > MaxColumns || row == 0 ||
        row > MaxRows)
        return std::nullopt;
    return CellRef{uint32_t(row), uint32_t(col)};
}

bool ParseUint(std::string_view t, uint32_t& v) {
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

} // namespace sheets
