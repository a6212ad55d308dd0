// Charts fitted to the rows a save wrote: the range references of a chart part one by one, the
// last filled row of a column, and a workbook saved twice with its charts following the rows.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>

#include "ChartRanges.h"
#include "SheetsTestUtil.h"
#include "Workbook.h"

using namespace sheets;
using namespace sheets::test;

namespace {

const std::string Head = "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/"
                         "2006/chart\" xmlns:x=\"urn:other\"><c:ser>";
const std::string Tail = "</c:ser></c:chartSpace>";
const std::string Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

std::string NumRef(const std::string& f, bool cached) {
    return "<c:val><c:numRef><c:f>" + f + "</c:f>" +
           (cached ? "<c:numCache><c:ptCount val=\"9\"/><c:pt idx=\"0\"><c:v>1</c:v></c:pt>"
                     "</c:numCache>"
                   : "") +
           "</c:numRef></c:val>";
}

// The last filled rows of the written sheets: column 5 (E) of Channel_1 ends at row 12, column
// 1 of "Kanal 2's" at 4, every other column of theirs is empty.
std::optional<uint32_t> Filled(std::string_view sheet, uint32_t col) {
    const std::map<std::pair<std::string, uint32_t>, uint32_t> last{{{"Channel_1", 5}, 12},
                                                                    {{"Channel_1", 6}, 500002},
                                                                    {{"Channel_1", 7}, 2},
                                                                    {{"Kanal 2's", 1}, 4},
                                                                    {{"R&D", 1}, 7}};
    if (sheet != "Channel_1" && sheet != "Kanal 2's" && sheet != "R&D")
        return std::nullopt;
    const auto it = last.find({std::string(sheet), col});
    return it == last.end() ? 0 : it->second;
}

} // namespace

TEST(ChartRanges, FitsReferencesToWrittenSheets) {
    struct Case {
        const char* what;
        std::string in;
        std::string out; // empty: nothing changes
    } cases[] = {
        {"a column ends at its last filled row, the cache goes",
         NumRef("'Channel_1'!$E$3:$E$10002", true), NumRef("'Channel_1'!$E$3:$E$12", false)},
        {"nothing cut off", NumRef("'Channel_1'!$F$3:$F$10002", true),
         NumRef("'Channel_1'!$F$3:$F$500002", false)},
        {"an empty column keeps its first row", NumRef("'Channel_1'!$D$3:$D$10002", true),
         NumRef("'Channel_1'!$D$3:$D$3", false)},
        {"only the header filled", NumRef("'Channel_1'!$G$3:$G$9", false),
         NumRef("'Channel_1'!$G$3:$G$3", false)},
        {"relative and unquoted", NumRef("Channel_1!E3:E4", false),
         NumRef("Channel_1!E3:E12", false)},
        {"a quote inside a quoted name", NumRef("'Kanal 2''s'!$A$3:$A$3", false),
         NumRef("'Kanal 2''s'!$A$3:$A$4", false)},
        {"a name with an entity", NumRef("'R&amp;D'!$A$2:$A$3", true),
         NumRef("'R&amp;D'!$A$2:$A$7", false)},
        {"two columns keep their range, not their cache", NumRef("'Channel_1'!$E$3:$F$9", true),
         NumRef("'Channel_1'!$E$3:$F$9", false)},
        {"a series name from a cell keeps its reference, not its cache",
         "<c:tx><c:strRef><c:f>'Channel_1'!$E$2</c:f><c:strCache><c:ptCount val=\"1\"/>"
         "</c:strCache></c:strRef></c:tx>",
         "<c:tx><c:strRef><c:f>'Channel_1'!$E$2</c:f></c:strRef></c:tx>"},
        {"labels of several levels",
         "<c:cat><c:multiLvlStrRef><c:f>'Channel_1'!$E$3:$E$5</c:f><c:multiLvlStrCache>"
         "<c:ptCount val=\"3\"/></c:multiLvlStrCache></c:multiLvlStrRef></c:cat>",
         "<c:cat><c:multiLvlStrRef><c:f>'Channel_1'!$E$3:$E$12</c:f></c:multiLvlStrRef></c:cat>"},
        {"a sheet not written", NumRef("'Desc'!$A$3:$A$10002", true), ""},
        {"a union", NumRef("('Channel_1'!$E$3:$E$5,'Channel_1'!$E$7:$E$9)", true), ""},
        {"another file", NumRef("[1]Channel_1!$E$3:$E$5", true), ""},
        {"a formula of another vocabulary", "<x:numRef><x:f>'Channel_1'!$E$3:$E$5</x:f></x:numRef>",
         ""},
        {"not a range", NumRef("'Channel_1'!$E$3:$$E5", true), ""},
    };
    for (const Case& c : cases) {
        const auto fitted = FitChartRanges(Head + c.in + Tail, Filled);
        const std::string error = fitted ? std::string() : fitted.error().text.toStdString();
        const std::optional<std::string> got = fitted.value_or(std::nullopt);
        if (c.out.empty())
            EXPECT_FALSE(got) << c.what << ": " << got.value_or("");
        else
            EXPECT_EQ(Declaration + Head + c.out + Tail, got.value_or(error)) << c.what;
    }

    // The chart's own namespace, whatever its prefix; what is not XML is left alone.
    EXPECT_EQ(Declaration +
                  "<chartSpace xmlns=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">"
                  "<numRef><f>Channel_1!E3:E12</f></numRef></chartSpace>",
              FitChartRanges("<chartSpace xmlns=\"http://schemas.openxmlformats.org/drawingml/"
                             "2006/chart\"><numRef><f>Channel_1!E3:E4</f><numCache/></numRef>"
                             "</chartSpace>",
                             Filled)
                  .value_or(std::nullopt)
                  .value_or(""));
    const auto broken = FitChartRanges(Head + NumRef("'Channel_1'!$E$3:$E$4", true), Filled);
    ASSERT_FALSE(broken);
    EXPECT_FALSE(broken.error().text.isEmpty());
}

TEST(ChartRanges, LastFilledRowOfAColumn) {
    SheetRows rows;
    rows.put({
        {2, {{}, {{1, CellKind::String, 0, "Number", ""}, {2, CellKind::String, 0, "Date", ""}}}},
        {3,
         {{}, {{1, CellKind::Number, 0, "1", ""}, {3, CellKind::Raw, 0, "<v>0</v>", " t=\"s\""}}}},
        {4, {{}, {{1, CellKind::Formula, 0, "A3+1", ""}, {2, CellKind::Empty, 5, "", ""}}}},
        {5, {{}, {{3, CellKind::Raw, 1, "", ""}}}},
    });
    const uint32_t want[] = {0, 4, 2, 3, 0};
    for (uint32_t col = 1; col <= 4; ++col)
        EXPECT_EQ(want[col], LastFilledRow(rows, col)) << col;
    EXPECT_EQ(0u, LastFilledRow(SheetRows(), 1));
}

TEST(ChartRanges, SavesFitTheChartsOfWrittenSheets) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.xlsx");
    ASSERT_TRUE(QFile::copy(TemplatePath(), path));
    const auto chart = [&](const char* part) {
        ZipPackage zip;
        return zip.open(ReadAll(path)) ? zip.read(part).value_or("") : std::string();
    };
    const std::string untouched = chart("xl/charts/chart2.xml");
    for (const int rows : {10, 11}) {
        QString error;
        auto wb = OpenWorkbook(path, ".", error);
        ASSERT_TRUE(wb) << error.toStdString();
        QString block = "Number\tDate\tTime\tRange\tRp\tXp\tTimestamp\r\n";
        for (int r = 0; r < rows; ++r)
            block +=
                QStringLiteral("%1\t08.12\t14:05:09\t1\t%2\t-%2\t46364.5\r\n").arg(r).arg(r * 7);
        ASSERT_TRUE(
            Ok(wb->poke(wb->findSheet(u"Channel_1"), {{2, 1}, {2 + uint32_t(rows), 7}}, block),
               error));
        ASSERT_TRUE(Ok(wb->save(), error)) << error.toStdString();
        const std::string xml = chart("xl/charts/chart1.xml");
        const std::string last = std::to_string(2 + rows);
        for (const char col : {'G', 'E', 'F'}) {
            const std::string f = std::string("'Channel_1'!$") + col + "$3:$" + col + "$" + last;
            EXPECT_NE(xml.find("<c:f>" + f + "</c:f>"), std::string::npos) << f << "\n" << xml;
        }
        EXPECT_EQ(xml.find("Cache"), std::string::npos) << xml;
        EXPECT_EQ(untouched, chart("xl/charts/chart2.xml"));
    }
}
