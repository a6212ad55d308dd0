// The worksheet reader of the spreadsheet service: any bytes as a sheet part. The rule is the
// round trip: a part it accepts streams out into a part it accepts again, with the same rows and
// cells, and that part streams out into the same bytes. Every cell also reads as text. And the
// quick read of rows, wherever it takes a part (whole or in pieces), gives what the parser
// alone gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "PackageParts.h"
#include "SheetPart.h"
#include "SheetReader.h"

namespace {

std::string Written(const sheets::SheetPart& part) {
    std::string out;
    sheets::SheetPart::Writer writer(part);
    char chunk[4096];
    while (const size_t n = writer.read(chunk, sizeof chunk))
        out.append(chunk, n);
    return out;
}

bool SameCells(const sheets::SheetRows& a, const sheets::SheetRows& b) {
    if (a.entries().size() != b.entries().size())
        return false;
    sheets::RowCells x, y;
    for (size_t i = 0; i < a.entries().size(); ++i) {
        if (a.entries()[i].row != b.entries()[i].row)
            return false;
        a.decode(a.entries()[i], x);
        b.decode(b.entries()[i], y);
        if (x.attrs != y.attrs || x.cells.size() != y.cells.size())
            return false;
        for (size_t k = 0; k < x.cells.size(); ++k)
            if (x.cells[k].col != y.cells[k].col || x.cells[k].kind != y.cells[k].kind ||
                x.cells[k].style != y.cells[k].style || x.cells[k].payload != y.cells[k].payload ||
                x.cells[k].attrs != y.cells[k].attrs)
                return false;
    }
    return true;
}

// True when the reader took the part fed in pieces of that size.
bool Read(sheets::SheetPart& part, bool quick, std::string_view xml, size_t piece) {
    sheets::SheetReader reader(part, quick);
    for (size_t at = 0; at < xml.size(); at += piece)
        if (!reader.read(xml.data() + at, std::min(piece, xml.size() - at), false))
            return false;
    return reader.read(nullptr, 0, true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    sheets::SheetPart plain;
    const bool parsed = Read(plain, false, xml, size + 1);
    for (const size_t piece : {size + 1, size % 61 + 1}) {
        sheets::SheetPart quick;
        if (Read(quick, true, xml, piece) &&
            (!parsed || !SameCells(quick.rows, plain.rows) || Written(quick) != Written(plain)))
            std::abort();
    }
    sheets::SheetPart part;
    if (!part.load(xml))
        return 0;
    const std::string out = Written(part);
    sheets::SheetPart again;
    if (!again.load(out) || !SameCells(part.rows, again.rows) || Written(again) != out)
        std::abort();
    sheets::RowCells row;
    const std::vector<std::string> shared{"a", "b"};
    for (const auto& e : part.rows.entries()) {
        part.rows.decode(e, row);
        for (const sheets::Cell& c : row.cells) {
            if (c.kind != sheets::CellKind::Raw)
                std::abort();
            sheets::RawCellText(c.attrs, c.payload, shared);
        }
    }
    return 0;
}
