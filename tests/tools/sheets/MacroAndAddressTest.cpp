// Macro commands and cell addresses as the service reads them.
#include <gtest/gtest.h>

#include "CellAddress.h"
#include "MacroParser.h"

using namespace sheets;

TEST(Macros, ParsesCommandsBackToBack) {
    const Result<std::vector<Macro>> l = ParseMacros(
        u"[OPEN(\"/tmp/a \"\"b\"\".xls\")][WORKBOOK.SELECT(\"Desc\")] [select(\"R1C1\")]"
        u"[FORMULA(\"x,y\",\"R2C3\")][SAVE][SAVE()][F(1.5, -2)]");
    ASSERT_TRUE(l) << l.error().text.toStdString();
    ASSERT_EQ(l->size(), 7u);
    EXPECT_EQ((*l)[0].args, QStringList{"/tmp/a \"b\".xls"});
    EXPECT_EQ((*l)[2].name, "SELECT");
    EXPECT_EQ((*l)[3].args, (QStringList{"x,y", "R2C3"}));
    EXPECT_TRUE((*l)[4].args.isEmpty());
    EXPECT_TRUE((*l)[5].args.isEmpty());
    EXPECT_EQ((*l)[6].args, (QStringList{"1.5", "-2"}));
}

TEST(Macros, RefusesBrokenText) {
    for (const char16_t* bad : {u"", u"SAVE", u"[SAVE", u"[(1)]", u"[OPEN(\"a)]", u"[OPEN(abc)]",
                                u"[OPEN(\"a\"\"]", u"[SAVE]x", u"[OPEN(\"a\",)]"}) {
        const Result<std::vector<Macro>> l = ParseMacros(bad);
        ASSERT_FALSE(l) << QString::fromUtf16(bad).toStdString();
        EXPECT_FALSE(l.error().text.isEmpty()) << QString::fromUtf16(bad).toStdString();
    }
}

TEST(CellAddresses, ParseWithTheServiceLetters) {
    const AddressLetters rc, zs{'Z', 'S'};
    EXPECT_EQ(ParseCell(u"R2C3", rc), (CellRef{2, 3}));
    EXPECT_EQ(ParseCell(u"r2c3", rc), (CellRef{2, 3}));
    EXPECT_FALSE(ParseCell(u"R2C3", zs));
    EXPECT_EQ(ParseCell(u"Z2S3", zs), (CellRef{2, 3}));
    EXPECT_EQ(ParseCellAnyLetters(u"R2C3", zs), (CellRef{2, 3}));
    EXPECT_EQ(ParseCell(u"R1048576C16384", rc), (CellRef{1048576, 16384}));
    for (const char16_t* bad : {u"R1048577C1", u"R1C16385", u"R0C1", u"R1C0", u"R1", u"RC",
                                u"R1C1x", u"R99999999999999999999C1", u""})
        EXPECT_FALSE(ParseCell(bad, rc)) << QString::fromUtf16(bad).toStdString();
    const auto r = ParseRange(u"R2C1:R120C7", rc);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rows(), 119u);
    EXPECT_EQ(r->cols(), 7u);
    EXPECT_FALSE(ParseRange(u"R5C1:R2C1", rc));
    EXPECT_FALSE(ParseRange(u"R1C1:R1048577C1", rc));
    const struct {
        const char16_t* range;
        const char* why;
    } refused[] = {
        {u"R2C1:R1100002C7", "R2C1:R1100002C7 reaches past the last row of a sheet, 1048576"},
        {u"R1048577C1", "R1048577C1 reaches past the last row of a sheet, 1048576"},
        {u"R1C1:R2C16385", "R1C1:R2C16385 reaches past the last column of a sheet, 16384"},
        {u"R5C1:R2C1", "R5C1:R2C1 is not a range of the sheet"},
        {u"R1C1:R99999999999999C1", "R1C1:R99999999999999C1 is not a range of the sheet"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(ParseRange(r.range, rc));
        EXPECT_EQ(RangeProblem(r.range, rc).toStdString(), r.why);
    }
    EXPECT_EQ(FormatCell({1, 1}, zs), "Z1S1");
    std::string names;
    for (uint32_t c : {1u, 26u, 27u, 702u, 703u, 16384u}) {
        AppendColumnName(names, c);
        names += ' ';
    }
    EXPECT_EQ(names, "A Z AA ZZ AAA XFD ");
    EXPECT_EQ(ParseA1("XFD1048576"), (CellRef{1048576, 16384}));
    EXPECT_FALSE(ParseA1("XFE1"));
}
