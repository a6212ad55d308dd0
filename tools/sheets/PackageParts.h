#pragma once
// The parts of a workbook package the service needs besides the sheets: where the workbook and
// its sheets are, which cell styles format as text, and the shared strings.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ZipPackage.h"

namespace sheets {

struct SheetEntry {
    std::string name;
    std::string part; // zip entry name
};

struct PackageLayout {
    std::vector<SheetEntry> sheets; // worksheets in workbook order
    std::string styles;             // zip entry names, empty when absent
    std::string sharedStrings;
    std::string calcChain;    // the order in which formula cells were last calculated
    std::string workbookRels; // the workbook's relationships part
};

// A part read whole, when it is well-formed XML; nothing (and why, with the part's name) when it
// is missing, over the limits or not well-formed.
Result<std::string> ReadXmlPart(const ZipPackage& zip, const std::string& part);
// The relationships of a part to others in the package, as (type, target entry name); external
// targets are left out. A part without relationships has none; relationships that cannot be read
// give why.
Result<std::vector<std::pair<std::string, std::string>>> Relationships(const ZipPackage& zip,
                                                                       const std::string& part);
// Reads the package relationships and the workbook part; why not when there is no workbook with
// at least one worksheet, or a part on the way cannot be read.
Result<PackageLayout> ReadLayout(const ZipPackage& zip);
// The package without its calculation chain: the relationships part without the relationship to
// it, and [Content_Types].xml without its entry. Excel reports a workbook whose chain names a
// cell that no longer holds a formula as damaged; without a chain it builds a new one.
std::string WithoutCalcChainRelationship(const std::string& relsXml);
std::string WithoutContentType(const std::string& contentTypesXml, const std::string& part);
// textStyles[i]: the cell format i shows its value as text ("@").
std::vector<bool> ReadTextStyles(const std::string& stylesXml);
// The texts of the shared strings table.
std::vector<std::string> ReadSharedStrings(const std::string& xml);

} // namespace sheets

namespace sheets {
// The value text of a cell kept as read from the file (attributes without r and s, inner XML).
std::string RawCellText(std::string_view attrs, std::string_view inner,
                        const std::vector<std::string>& sharedStrings);
} // namespace sheets
