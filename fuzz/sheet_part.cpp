// The worksheet reader of the spreadsheet service: any bytes as a sheet part. A part it accepts
// streams out again into a part it accepts with the same rows, and every cell reads as text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "PackageParts.h"
#include "SheetPart.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sheets::SheetPart part;
    std::string error;
    if (!part.load(std::string(reinterpret_cast<const char*>(data), size), error))
        return 0;
    std::string out;
    sheets::SheetPart::Writer writer(part);
    char chunk[4096];
    while (const size_t n = writer.read(chunk, sizeof chunk))
        out.append(chunk, n);
    sheets::SheetPart again;
    if (!again.load(out, error) || again.rows.entries().size() != part.rows.entries().size())
        std::abort();
    sheets::RowCells row;
    const std::vector<std::string> shared{"a", "b"};
    for (const auto& e : part.rows.entries()) {
        part.rows.decode(e, row);
        for (const sheets::Cell& c : row.cells) {
            if (c.kind != sheets::CellKind::Raw)
                std::abort();
            const size_t zero = c.payload.find('\0');
            sheets::RawCellText(c.payload.substr(0, zero),
                                zero == std::string_view::npos ? std::string_view()
                                                               : c.payload.substr(zero + 1),
                                shared);
        }
    }
    return 0;
}
