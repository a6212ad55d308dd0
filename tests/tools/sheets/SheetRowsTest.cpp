// The compact row store gives back every cell as written, numbers and clock times (kept packed two
// characters a byte) included, whether read whole or cell by cell.
#include <gtest/gtest.h>

#include "SheetRows.h"

using namespace sheets;

TEST(SheetRows, CellsReadBackAsWrittenNumbersInHalfTheRoom) {
    const std::string longest(SheetRows::Cursor::PackedDigits, '7');
    const std::string tooLong(SheetRows::Cursor::PackedDigits + 1, '8');
    // Packable numbers of odd and even length, then numbers kept as they are.
    const std::vector<std::string> numbers = {
        "0", "-12", "46000.0000115741", "1e+20", "-1.5E-7", longest, tooLong, "1,5", ""};
    RowCells row;
    for (size_t i = 0; i < numbers.size(); ++i)
        row.cells.push_back({uint32_t(i + 1), CellKind::Number, 0, numbers[i], ""});
    row.cells.push_back({20, CellKind::String, 3, "12:34:56", ""});
    row.cells.push_back({21, CellKind::String, 3, "text 0.5", ""});
    row.cells.push_back({22, CellKind::Raw, 0, "<v>1</v>", " t=\"n\""});
    SheetRows rows;
    rows.put({{7, row}});
    ASSERT_EQ(1u, rows.entries().size());

    RowCells back;
    rows.decode(rows.entries()[0], back);
    SheetRows::Cursor cursor = rows.cursor(rows.entries()[0]);
    ASSERT_EQ(row.cells.size(), back.cells.size());
    for (size_t i = 0; i < row.cells.size(); ++i) {
        Cell one;
        ASSERT_TRUE(cursor.next(one));
        for (const Cell& c : {back.cells[i], one}) {
            EXPECT_EQ(row.cells[i].col, c.col) << i;
            EXPECT_EQ(row.cells[i].kind, c.kind) << i;
            EXPECT_EQ(row.cells[i].style, c.style) << i;
            EXPECT_EQ(row.cells[i].payload, c.payload) << i;
            EXPECT_EQ(row.cells[i].attrs, c.attrs) << i;
        }
    }
    Cell none;
    EXPECT_FALSE(cursor.next(none));

    // A row of a measurement's numbers: its record under three quarters of their text.
    RowCells measurement;
    const std::string stamp = "46000.0000115741";
    for (uint32_t col = 1; col <= 7; ++col)
        measurement.cells.push_back({col, CellKind::Number, 0, stamp, ""});
    SheetRows packed;
    packed.put({{3, measurement}});
    EXPECT_LT(packed.bytes(), 7 * stamp.size() * 3 / 4);
}
