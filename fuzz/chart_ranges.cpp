// The chart range fitting of the spreadsheet service: any bytes as a chart part. The rules: what
// it writes is well-formed XML, and fitting that again changes nothing (the ranges already end
// where the rows do, the caches are gone).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ChartRanges.h"
#include "XmlParser.h"

namespace {

// Written sheets "Channel_1" and "S": a column's last filled row depends on the column only.
std::optional<uint32_t> Filled(std::string_view sheet, uint32_t col) {
    if (sheet != "Channel_1" && sheet != "S")
        return std::nullopt;
    return col % 3 == 0 ? 0 : col * 7;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    const auto fitted = sheets::FitChartRanges(xml, Filled);
    if (!fitted || !*fitted)
        return 0;
    // Fitted once, the chart is XML and fits again without a change.
    const auto again = sheets::FitChartRanges(**fitted, Filled);
    if (!sheets::XmlProblem(**fitted).empty() || !again || *again)
        std::abort();
    return 0;
}
