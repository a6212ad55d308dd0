// The quick read of a sheet's rows gives what the XML parser alone gives, byte for byte, fed
// whole or in pieces; where the scanner does not take the rows the parser reads them, and a
// broken part is refused with the parser's own reason.
#include <gtest/gtest.h>

#include "SheetReader.h"

using namespace sheets;

namespace {

std::string Written(const SheetPart& part) {
    std::string out;
    SheetPart::Writer writer(part);
    char chunk[4096];
    while (const size_t n = writer.read(chunk, sizeof chunk))
        out.append(chunk, n);
    return out;
}

const std::string Main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string Sheet(const std::string& sheetData) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<worksheet xmlns=\"" + Main +
           "\" xmlns:x14ac=\"urn:x14ac\"><dimension ref=\"A1\"/>" + sheetData +
           "<pageMargins left=\"0.7\"/></worksheet>";
}

} // namespace

TEST(RowScanner, GivesWhatTheParserGives) {
    const struct {
        const char* what;
        std::string sheetData;
        bool taken; // read by the scanner
        bool ok;
    } cases[] = {
        {"plain rows",
         "<sheetData><row r=\"1\" spans=\"1:3\" x14ac:dyDescent=\"0.25\"><c r=\"A1\" "
         "s=\"1\"><v>1.5</v></c><c r=\"C1\" t=\"s\"><v>0</v></c></row><row r=\"2\"/><row r=\"4\" "
         "ht=\"20\"><c r=\"B4\" s=\"2\"/></row></sheetData>",
         true, true},
        {"texts with references, beyond ASCII",
         "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a "
         "&amp; b &#x3A9;&#937; \xCE\xA9 &lt;&gt;&quot;&apos;_x0041_ </t></is></c><c "
         "r=\"B1\"><f>A1&gt;0</f><v></v></c></row></sheetData>",
         true, true},
        {"blanks between and in tags",
         "<sheetData>\n  <row r='1' >\n <c r=\"A1\" \n s = '3'><v>2</v></c>\n</row >\n</sheetData "
         ">",
         true, true},
        {"a prefixed sheet",
         "<x:sheetData xmlns:x=\"" + Main +
             "\"><x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c><x:c "
             "r=\"B1\"><x:is><x:t>b</x:t></x:is></x:c></x:row></x:sheetData>",
         true, true},
        {"no rows", "<sheetData></sheetData>", true, true},
        {"a comment: the parser's",
         "<sheetData><row r=\"1\"><!-- x --><c r=\"A1\"><v>1</v></c></row></sheetData>", false,
         true},
        {"a namespace declared on a row",
         "<sheetData><row r=\"1\" xmlns:y=\"urn:y\" y:a=\"1\"><c "
         "r=\"A1\"><v>1</v></c></row></sheetData>",
         false, true},
        {"CR LF in a text",
         "<sheetData><row r=\"1\"><c r=\"A1\" "
         "t=\"inlineStr\"><is><t>a\r\nb</t></is></c></row></sheetData>",
         false, true},
        {"an element not a cell in a row",
         "<sheetData><row r=\"1\"><extLst/><c r=\"A1\"><v>1</v></c></row></sheetData>", true, true},
        {"values in and out of cells, a quote in a text",
         "<sheetData><row r=\"1\"><extLst><v>1</v></extLst><c r=\"A1\"><f>A2</f><v>3</v></c><c "
         "r=\"B1\" t=\"inlineStr\"><is><t>a\"b</t></is></c></row></sheetData>",
         true, true},
        {"broken: a value with an unbound prefix",
         "<sheetData><row r=\"1\"><c r=\"A1\"><q:v>1</q:v></c></row></sheetData>", false, false},
        {"broken: an unbound prefix", "<sheetData><row r=\"1\" q:a=\"1\"/></sheetData>", false,
         false},
        {"broken: an attribute twice", "<sheetData><row r=\"1\" r=\"2\"/></sheetData>", false,
         false},
        {"broken: ]]> in a text",
         "<sheetData><row r=\"1\"><c r=\"A1\"><v>]]></v></c></row></sheetData>", false, false},
        {"broken: rows out of order", "<sheetData><row r=\"2\"/><row r=\"1\"/></sheetData>", false,
         false},
        {"broken: an end tag of another",
         "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</c></v></row></sheetData>", false, false},
        {"broken: cut short in the rows",
         "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\">", false, false},
    };
    for (const auto& c : cases) {
        const std::string xml = Sheet(c.sheetData);
        SheetPart plain;
        SheetReader parser(plain, false);
        const bool parsed = parser.read(xml.data(), xml.size(), true);
        EXPECT_EQ(c.ok, parsed) << c.what << ": " << parser.error();
        SheetPart quick;
        SheetReader scanner(quick, true);
        EXPECT_EQ(c.taken, scanner.read(xml.data(), xml.size(), true) && scanner.scanned())
            << c.what;
        for (const size_t piece : {xml.size(), size_t(3)}) {
            SheetPart part;
            const Result<> read = ReadSheet(
                part,
                [&](const ByteSink& sink) -> Result<> {
                    for (size_t at = 0; at < xml.size(); at += piece)
                        if (!sink(xml.data() + at, std::min(piece, xml.size() - at)))
                            return Fail(QString());
                    return {};
                },
                "part: ");
            ASSERT_EQ(parsed, read.has_value()) << c.what;
            if (parsed)
                EXPECT_EQ(Written(plain), Written(part)) << c.what << ", pieces of " << piece;
            else
                EXPECT_EQ("part: " + parser.error(), read.error().text.toStdString()) << c.what;
        }
    }
}
