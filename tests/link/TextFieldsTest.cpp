// GetField pieces and integer texts.
#include <gtest/gtest.h>

#include "LinkTestUtil.h"
#include "base/GetField.h"
#include "base/StrToInt.h"

TEST(GetField, PiecesBetweenSeparators) {
    const QString s = "24.12.2024 - 15:30:00";
    EXPECT_EQ(GetField(s, '.', 1), "24");
    EXPECT_EQ(GetField(s, '.', 2), "12");
    EXPECT_EQ(GetField(s, '.', 3), "2024 - 15:30:00");
    EXPECT_EQ(GetField(s, '.', 4), "");
    EXPECT_EQ(GetField(s, ' ', 1), "24.12.2024");
    EXPECT_EQ(GetField(s, ' ', 2), "-");
    EXPECT_EQ(GetField(s, ' ', 3), "15:30:00");
    EXPECT_EQ(GetField(s, ':', 1), "24.12.2024 - 15");
    // No separator at all: the whole text is piece 1 and nothing else exists.
    EXPECT_EQ(GetField("abc", ';', 1), "abc");
    EXPECT_EQ(GetField("abc", ';', 2), "");
}

TEST(GetField, EmptyPiecesUntrimmedPiecesAndBlankTexts) {
    EXPECT_EQ(GetField("a..b", '.', 2), "");
    EXPECT_EQ(GetField("a..b", '.', 3), "b");
    EXPECT_EQ(GetField(".a", '.', 1), "");
    EXPECT_EQ(GetField("a.", '.', 2), ""); // N - 1 separators: the empty last piece
    EXPECT_EQ(GetField("a.", '.', 3), "");
    EXPECT_EQ(GetField(" a . b ", '.', 1), " a ");
    EXPECT_EQ(GetField(" a . b ", '.', 2), " b ");
    EXPECT_EQ(GetField("a\tb", '\t', 2), "b");
    // Blank texts have only empty pieces, whatever the separator.
    EXPECT_EQ(GetField("   ", '.', 1), "");
    EXPECT_EQ(GetField("   ", ' ', 2), "");
    EXPECT_EQ(GetField("", '.', 1), "");
    // A tab is not a blank.
    EXPECT_EQ(GetField("\t", '.', 1), "\t");
    EXPECT_EQ(GetField("a.b", '.', 0), "");
    EXPECT_EQ(GetField("a.b", '.', -3), "");
}

TEST(StrToInt, DecimalAndHexadecimalTexts) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("007"), 7);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("-12"), -12);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x1f"), 31);
    EXPECT_EQ(StrToInt("0X1F"), 31);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("$7FFFFFFF"), INT32_MAX);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("$80000000"), INT32_MIN);
}

TEST(StrToInt, EverythingElseFailsWithTheConversionText) {
    for (const char* bad : {"",           " ",          "-",           "+",
                            "$",          "0x",         "1 ",          " 1",
                            "1.5",        "12a",        "a12",         "--1",
                            "+-1",        "2147483648", "-2147483649", "99999999999999999999999",
                            "$100000000", "$G",         "0x1g",        "1e3",
                            "\xd9\xa3"}) {
        int32_t v = 12345;
        EXPECT_FALSE(TryStrToInt(QString::fromUtf8(bad), v)) << bad;
        EXPECT_EQ(v, 12345) << bad;
        EXPECT_EQ(FailureText([&] { StrToInt(QString::fromUtf8(bad)); }),
                  QString("'%1' is not a valid integer value").arg(QString::fromUtf8(bad)));
    }
    EXPECT_EQ(FailureText([] { StrToInt("?\?\?"); }), "'?\?\?' is not a valid integer value");
}
