#pragma once
// Charts that fit the rows a save wrote: a series over a column of a written sheet ends at that
// column's last filled row, so a chart shows exactly the measurements, ten or half a million,
// with no empty tail and nothing cut off. The chart parts are read with the service's XML parser
// and written out again as they were, but for the fitted ranges and the dropped caches.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SheetRows.h"
#include "ZipPackage.h"
#include "base/Result.h"

namespace sheets {

// The last row of a column that holds a value (0: none) on a sheet that the save writes, or
// nothing for a sheet that it does not write. `sheet` is the name a reference gives, unquoted.
using FilledRows = std::function<std::optional<uint32_t>(std::string_view sheet, uint32_t col)>;

// The chart part with every reference (c:f) to a range of a written sheet fitted: a range of one
// column ends at that column's last filled row, or at its own first row when nothing below that
// is filled; other references keep their range. Every reference to a written sheet loses its
// cached values (numCache, strCache, multiLvlStrCache), which the spreadsheet reads anew from the
// cells. A reference that is not one range (a union, a name, another file) is left as it is.
// Nothing when nothing changes; why not when the part is not XML the parser takes.
Result<std::optional<std::string>> FitChartRanges(std::string_view chartXml,
                                                  const FilledRows& filled);

// What SAVE knows of a sheet.
struct BookSheet {
    std::string name;
    std::string part;
    const SheetRows* rows = nullptr;
    bool written = false;
};

// For SAVE: the charts drawn on the workbook's sheets, fitted to the sheets it writes: the new
// text of each chart part that changes, by part name. A chart that cannot be read is not in it,
// so it is copied as it is.
std::map<std::string, std::string> FitCharts(const ZipPackage& zip,
                                             const std::vector<BookSheet>& sheets);

// The last row of the column that holds a value, 0 for none.
uint32_t LastFilledRow(const SheetRows& rows, uint32_t col);

} // namespace sheets
