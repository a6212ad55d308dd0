// The workbook engine on a copy of the shipped template: how written texts are stored, what a
// poke of a short or long block does, that untouched parts stay byte for byte, and that files
// the engine cannot read are refused.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <zip.h>

#include "SheetsTestUtil.h"
#include "Workbook.h"
#include "support/ChildProcess.h"

using namespace sheets;
using namespace sheets::test;

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString path = dir.filePath("Data.xls");
    Fixture() { EXPECT_TRUE(QFile::copy(TemplatePath(), path)); }
};

std::string Part(const QString& file, const std::string& name) {
    ZipPackage zip;
    if (!zip.open(ReadAll(file)))
        return {};
    return zip.read(name).value_or(std::string());
}

} // namespace

TEST(WorkbookEngine, StoresTextsAsASpreadsheetDoes) {
    Fixture f;
    QString error;
    auto wb = OpenWorkbook(f.path, ",", error);
    ASSERT_TRUE(wb) << error.toStdString();
    const int ch1 = wb->findSheet(u"channel_1");
    ASSERT_EQ(wb->sheetName(ch1), "Channel_1");
    const QString odd = QString::fromUtf8("tab\there \"q\" <a&b>\r\nřádek Ж 中\n_x0041_");
    ASSERT_TRUE(
        Ok(wb->poke(ch1, {{2, 1}, {4, 7}},
                    u"Nr\tDate\r\n12\t08.12\t12:30:00\t1,5\t=A3*2\t-4\r\n7\t\t\t\t\t\t7\r\n"),
           error))
        << error.toStdString();
    wb->write(ch1, {5, 2}, odd);
    wb->write(0, {1, 1}, u"Measure Settings: F=1000Hz");
    // Short rows and a short block clear the rest of the range.
    ASSERT_TRUE(Ok(wb->poke(ch1, {{4, 1}, {4, 7}}, u"8"), error));
    // Too many rows or cells: refused, nothing written.
    EXPECT_FALSE(Ok(wb->poke(ch1, {{3, 1}, {3, 2}}, u"1\t2\t3\r\n"), error));
    EXPECT_FALSE(Ok(wb->poke(ch1, {{3, 1}, {3, 2}}, u"1\r\n2\r\n"), error));
    EXPECT_FALSE(
        Ok(wb->poke(ch1, {{3, 1}, {4, 3}}, u"a long cell\tb\r\n\t\t\t\t\t\t\t\t\t\r\n"), error));
    EXPECT_EQ(error, "row 2 has 10 cells for a range of 3 columns");
    ASSERT_TRUE(Ok(wb->save(), error)) << error.toStdString();

    auto again = OpenWorkbook(f.path, ",", error);
    ASSERT_TRUE(again) << error.toStdString();
    struct Expect {
        CellRef cell;
        const char* text;
    } expects[] = {{{2, 1}, "Nr"},    {{2, 2}, "Date"},     {{2, 3}, ""},    {{3, 1}, "12"},
                   {{3, 2}, "08.12"}, {{3, 3}, "12:30:00"}, {{3, 4}, "1.5"}, {{3, 5}, "=A3*2"},
                   {{3, 6}, "-4"},    {{4, 1}, "8"},        {{4, 7}, ""},    {{9, 9}, ""}};
    for (const Expect& e : expects)
        EXPECT_EQ(again->cellText(ch1, e.cell).toStdString(), e.text)
            << e.cell.row << "," << e.cell.col;
    EXPECT_EQ(again->cellText(ch1, {5, 2}), odd);
    EXPECT_EQ(again->cellText(0, {1, 1}), "Measure Settings: F=1000Hz");

    const std::string xml = Part(f.path, "xl/worksheets/sheet2.xml");
    for (const char* piece :
         // A cell right after the one before goes without its address.
         {"customFormat=\"1\"><c s=\"3\" t=\"inlineStr\"><is><t>Nr</t></is></c>", // keeps bold
          "<t>Date</t></is></c><c s=\"3\"/>",                        // C2 cleared, its style kept
          "<row r=\"3\"><c><v>12</v></c>",                           // number
          "<c s=\"1\" t=\"inlineStr\"><is><t>08.12</t></is></c>",    // "@" column
          "<c><v>1.5</v></c>",                                       // operator's decimal separator
          "<c><f>A3*2</f></c>",                                      // formula
          "<row r=\"4\"><c><v>8</v></c><c r=\"G4\" s=\"2\"/></row>", // cleared, after a gap
          "<dimension ref=\"A1:G5\"/>", "<drawing r:id=\"rId1\"/>"})
        EXPECT_NE(xml.find(piece), std::string::npos) << piece << "\n" << xml;

    // Parts the save did not touch are the template's bytes: the chart of Channel_2 too.
    for (const char* part : {"xl/worksheets/sheet3.xml", "xl/styles.xml", "xl/charts/chart2.xml",
                             "xl/sharedStrings.xml", "[Content_Types].xml"})
        EXPECT_EQ(Part(f.path, part), Part(TemplatePath(), part)) << part;
}

TEST(WorkbookEngine, RefusesFilesItCannotRead) {
    QTemporaryDir dir;
    const QString notZip = dir.filePath("text.xls");
    WriteAll(notZip, "Number\tDate\r\n1\t2\r\n");
    // The start of an Excel 97-2003 workbook: a compound file.
    const QString binary = dir.filePath("old.xls");
    WriteAll(binary, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(4096, '\0'));
    struct Case {
        const char* what;
        QString path;
        const char* reason;
    } cases[] = {
        {"missing", dir.filePath("none.xls"), "No such file"},
        {"not a zip", notZip, "not a workbook file"},
        {"old binary format", binary, "save it as .xlsx"},
        {"no workbook", Variant(dir.path(), "xl/workbook.xml", nullptr), "xl/workbook.xml"},
        {"no sheet part", Variant(dir.path(), "xl/worksheets/sheet5.xml", nullptr), "missing"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(OpenWorkbook(c.path, ".", error)) << c.what;
        EXPECT_TRUE(error.contains(c.reason)) << c.what << ": " << error.toStdString();
    }
    const char* badSheets[] = {
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></row></sheetData></worksheet>",
        "<worksheet><sheetData><row r=\"2\"/><row r=\"1\"/></sheetData></worksheet>",
        "<worksheet><sheetData><row r=\"1\"><c r=\"B1\"/><c r=\"A1\"/></row></sheetData>"
        "</worksheet>",
        "<worksheet><sheetData></worksheet>",
        "<worksheet><sheetData/><cols></worksheet>",
        "<other><sheetData/></other>",
        "not xml at all",
    };
    for (const char* bad : badSheets) {
        QString error;
        EXPECT_FALSE(OpenWorkbook(Variant(dir.path(), "xl/worksheets/sheet2.xml", bad), ".", error))
            << bad;
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(WorkbookEngine, WritingDropsTheCalculationChain) {
    Fixture f;
    // The template as Excel would leave it after calculating a formula on the first sheet.
    std::string rels = Part(f.path, "xl/_rels/workbook.xml.rels");
    std::string types = Part(f.path, "[Content_Types].xml");
    rels.insert(rels.rfind("</Relationships>"),
                "<Relationship Id=\"rId99\" Type=\"http://schemas.openxmlformats.org/"
                "officeDocument/2006/relationships/calcChain\" Target=\"calcChain.xml\"/>");
    types.insert(types.rfind("</Types>"),
                 "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>");
    std::string chain = "<calcChain xmlns=\"http://schemas.openxmlformats.org/"
                        "spreadsheetml/2006/main\"><c r=\"A1\" i=\"1\"/></calcChain>";
    zip_t* z = zip_open(QFile::encodeName(f.path).constData(), 0, nullptr);
    ASSERT_TRUE(z);
    for (const auto& [name, bytes] :
         {std::pair{"xl/_rels/workbook.xml.rels", &rels}, std::pair{"[Content_Types].xml", &types},
          std::pair{"xl/calcChain.xml", &chain}})
        ASSERT_GE(zip_file_add(z, name, zip_source_buffer(z, bytes->data(), bytes->size(), 0),
                               ZIP_FL_OVERWRITE),
                  0);
    ASSERT_EQ(zip_close(z), 0);

    QString error;
    auto wb = OpenWorkbook(f.path, ".", error);
    ASSERT_TRUE(wb) << error.toStdString();
    wb->write(0, {1, 1}, u"12");
    ASSERT_TRUE(Ok(wb->save(), error)) << error.toStdString();

    EXPECT_EQ(Part(f.path, "xl/calcChain.xml"), "");
    const std::string newRels = Part(f.path, "xl/_rels/workbook.xml.rels");
    const std::string newTypes = Part(f.path, "[Content_Types].xml");
    EXPECT_EQ(newRels.find("calcChain"), std::string::npos) << newRels;
    EXPECT_EQ(newTypes.find("calcChain"), std::string::npos) << newTypes;
    // Everything else in them stays: the declaration, the sheets.
    EXPECT_TRUE(
        newRels.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"))
        << newRels;
    EXPECT_NE(newRels.find("worksheets/sheet17.xml"), std::string::npos) << newRels;
    EXPECT_NE(newTypes.find("/xl/worksheets/sheet17.xml"), std::string::npos) << newTypes;
    auto again = OpenWorkbook(f.path, ".", error);
    ASSERT_TRUE(again) << error.toStdString();
    EXPECT_EQ(again->sheetCount(), 17);
    EXPECT_EQ(again->cellText(0, {1, 1}), "12");
}

TEST(WorkbookEngine, RefusesSheetsThatAreNotWellFormedWithThePartAndTheReason) {
    QTemporaryDir dir;
    // The first one held two worksheets and stray text, and was once written back broken.
    const QByteArray twoRoots =
        ReadAll(SourceDir() + "/fuzz/corpus/sheet_part/two_roots_stray_text");
    ASSERT_FALSE(twoRoots.isEmpty());
    const struct {
        QByteArray xml;
        const char* reason;
    } cases[] = {
        {twoRoots, "not well-formed"},
        {"<worksheet><sheetData/></worksheet><worksheet/>", "junk after document element"},
        {"<x:worksheet><x:sheetData/></x:worksheet>", "unbound prefix"},
        {"<!DOCTYPE worksheet [<!ENTITY a \"aaaa\">]><worksheet><sheetData/></worksheet>",
         "document type declaration"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><worksheet><sheetData/></worksheet>",
         "not UTF-8"},
        {"<worksheet><sheetData/><sheetData/></worksheet>", "second sheetData"},
        {"<x:worksheet xmlns:x=\"urn:a\"><x:sheetData><x:row xmlns:x=\"urn:b\"/></x:sheetData>"
         "</x:worksheet>",
         "unexpected element in sheetData"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(OpenWorkbook(
            Variant(dir.path(), "xl/worksheets/sheet2.xml", c.xml.constData()), ".", error))
            << c.xml.toStdString();
        EXPECT_TRUE(error.contains("xl/worksheets/sheet2.xml") && error.contains(c.reason))
            << error.toStdString() << "\n"
            << c.xml.toStdString();
    }
    QString error;
    EXPECT_FALSE(OpenWorkbook(Variant(dir.path(), "xl/styles.xml", "<styleSheet>"), ".", error));
    EXPECT_TRUE(error.contains("xl/styles.xml") && error.contains("no element found"))
        << error.toStdString();
}

TEST(WorkbookEngine, SavesUnusualSheetsSoTheyOpenAgainEverywhere) {
    QTemporaryDir dir;
    // Sound XML that the service writes back in its own form: prefixes declared below the
    // root, comments, CDATA, character references, rows without numbers, foreign attributes.
    const char* const sheets[] = {
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:sheetData xmlns:y=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<y:row><y:c t=\"inlineStr\"><y:is><y:t xml:space=\"preserve\"> a </y:t></y:is></y:c>"
        "</y:row></x:sheetData></x:worksheet>",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- made by hand -->\n<worksheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:q=\"urn:q\" q:note=\"&lt;&amp;&gt;\">\n  <dimension ref=\"A1\"/>\n  <sheetData>\n"
        "    <row r=\"1\" q:h=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t><![CDATA[ a ]]></t></is>"
        "</c></row>\n  </sheetData>\n  <?keep this?>\n</worksheet>",
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<sheetData/></worksheet>",
    };
    const char* const expected[] = {" a ", " a ", ""};
    QStringList saved;
    for (const char* xml : sheets) {
        const QString path = Variant(dir.path(), "xl/worksheets/sheet2.xml", xml);
        QString error;
        auto wb = OpenWorkbook(path, ".", error);
        ASSERT_TRUE(wb) << error.toStdString() << "\n" << xml;
        wb->write(1, {2, 2}, u"x&y");
        ASSERT_TRUE(Ok(wb->save(), error)) << error.toStdString();
        auto again = OpenWorkbook(path, ".", error);
        ASSERT_TRUE(again) << error.toStdString() << "\n" << Part(path, "xl/worksheets/sheet2.xml");
        EXPECT_EQ(again->cellText(1, {1, 1}).toStdString(), expected[saved.size()]) << xml;
        EXPECT_EQ(again->cellText(1, {2, 2}), "x&y");
        saved << path;
    }
    // And what another program reads from them.
    const ProgramRun python =
        RunProgram("/usr/bin/python3",
                   QStringList{"-c", "import sys, openpyxl\n"
                                     "for f in sys.argv[1:]:\n"
                                     "    ws = openpyxl.load_workbook(f)['Channel_1']\n"
                                     "    print(repr(ws['A1'].value), repr(ws['B2'].value))\n"} +
                       saved);
    ASSERT_TRUE(python.finished);
    EXPECT_EQ(python.output, "' a ' 'x&y'\n' a ' 'x&y'\nNone 'x&y'\n")
        << python.errors.toStdString();
}

TEST(WorkbookEngine, ALargeSheetSavesIntoAFileOtherReadersTake) {
    // Many chunks of the deflated sheet, the other parts copied still compressed.
    Fixture f;
    QString error;
    auto wb = OpenWorkbook(f.path, ".", error);
    ASSERT_TRUE(wb) << error.toStdString();
    const int rows = 40000;
    std::string block;
    for (int r = 1; r <= rows; ++r)
        block += std::to_string(r) + "\t01.02\t03:04:05\t1\t" + std::to_string(r * 7919) + "\t-" +
                 std::to_string(r % 1000) + "\tok <&>\r\n";
    ASSERT_TRUE(Ok(wb->poke(1, {{3, 1}, {uint32_t(rows + 2), 7}}, block), error));
    ASSERT_TRUE(Ok(wb->save(), error)) << error.toStdString();

    auto again = OpenWorkbook(f.path, ".", error);
    ASSERT_TRUE(again) << error.toStdString();
    EXPECT_EQ(again->cellText(1, {uint32_t(rows + 2), 5}), QString::number(rows * 7919));
    EXPECT_EQ(again->cellText(1, {uint32_t(rows + 2), 7}), "ok <&>");
    const ProgramRun python = RunProgram(
        "/usr/bin/python3",
        {"-c",
         "import sys, zipfile, openpyxl\n"
         "print(zipfile.ZipFile(sys.argv[1]).testzip())\n"
         "ws = openpyxl.load_workbook(open(sys.argv[1], 'rb'), read_only=True)['Channel_1']\n"
         "rows = list(ws.iter_rows(min_row=3, values_only=True))\n"
         "print(len(rows), rows[0], rows[-1])\n",
         f.path});
    ASSERT_TRUE(python.finished);
    EXPECT_EQ(python.output.toStdString(),
              "None\n40000 (1, '01.02', '03:04:05', 1, 7919, -1, 'ok <&>') (40000, '01.02', "
              "'03:04:05', 1, 316760000, 0, 'ok <&>')\n")
        << python.errors.toStdString();
    for (const char* part : {"xl/styles.xml", "xl/charts/chart2.xml", "docProps/app.xml"})
        EXPECT_EQ(Part(f.path, part), Part(TemplatePath(), part)) << part;
}

// A block written while it arrives, in pieces of any size, gives the cells and the refusal of
// the same block poked whole, and a refused one leaves nothing behind.
TEST(WorkbookEngine, StreamedPokeMatchesWholePoke) {
    Fixture f;
    QString error;
    const std::string alphabet = "a1.5=-\t\t\r\n\n\xE2\x82\xAC\xFF";
    uint32_t seed = 7;
    const auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 312; ++round) {
        std::string block;
        CellRange range{{3, 2}, {3 + next(5), 2 + next(4)}};
        // The last rounds: blocks long enough to be made on two threads, of rows that mostly
        // fit, one of them at times too wide, the range at times a row short.
        const bool large = round >= 300;
        if (!large) {
            for (uint32_t i = next(40); i > 0; --i)
                block += alphabet[next(uint32_t(alphabet.size()))];
        } else {
            const uint32_t rows = 20000 + next(20000), wide = next(2) ? next(rows) : rows;
            for (uint32_t r = 0; r < rows; ++r) {
                for (uint32_t c = 0; c < (r == wide ? 5 : 1 + next(4)); ++c)
                    block += std::string(c ? "\t" : "") + alphabet.substr(next(3), next(4));
                block += next(2) ? "\r\n" : "\n";
            }
            range = {{3, 2}, {2 + rows - next(2), 5}};
        }
        auto whole = OpenWorkbook(f.path, ",", error);
        auto streamed = OpenWorkbook(f.path, ",", error);
        ASSERT_TRUE(whole && streamed) << error.toStdString();
        const int sheet = whole->findSheet(u"Channel_1");
        ASSERT_TRUE(Workbook::PokeStream::Appends(*streamed, sheet, range));
        const uint64_t before = streamed->cellBytes();
        QString wholeError, streamedError;
        const bool wholeOk = Ok(whole->poke(sheet, range, block), wholeError);
        Workbook::PokeStream stream(*streamed, sheet, range, block.size());
        for (size_t at = 0; at < block.size(); at += large ? 66000 + 4 * next(50000) : next(6))
            stream.advance(std::string_view(block).substr(0, at));
        const bool streamedOk = Ok(stream.finish(block), streamedError);
        SCOPED_TRACE(large ? std::to_string(round) : testing::PrintToString(block));
        ASSERT_EQ(streamedOk, wholeOk);
        EXPECT_EQ(streamedError, wholeError);
        EXPECT_EQ(streamed->cellBytes(), wholeOk ? whole->cellBytes() : before);
        for (uint32_t r = 3; r <= (large ? range.last.row + 1 : 8); ++r)
            for (uint32_t c = 1; c <= 6; ++c)
                ASSERT_EQ(streamed->cellText(sheet, {r, c}), whole->cellText(sheet, {r, c}));
    }
}
