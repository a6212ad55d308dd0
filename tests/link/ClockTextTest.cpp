// ClockEd's text: the local clock into it, and its pieces back out for SetTime.
#include <gtest/gtest.h>

#include "LinkTestUtil.h"
#include "link/AnswerDecode.h"

namespace {

std::vector<uint8_t> Sent(const QString& text) {
    const ClockFields c = ParseClockText(text);
    return SetTimePayload(c.year, c.month, c.day, c.hour, c.minute, c.second);
}

} // namespace

TEST(ClockText, LocalClockTextGoesOutAsDescribed) {
    const QString text = ClockText(QDateTime(QDate(2024, 12, 24), QTime(15, 30, 0)));
    EXPECT_EQ(text, "24.12.2024 - 15:30:00");
    EXPECT_EQ(Sent(text), (std::vector<uint8_t>{20, 24, 12, 24, 3, 15, 30, 0}));
    EXPECT_EQ(ClockText(QDateTime(QDate(987, 1, 2), QTime(3, 4, 5))), "02.01.0987 - 03:04:05");

    // Pieces need not have two digits.
    EXPECT_EQ(Sent("1.2.2025 - 7:5:9"), (std::vector<uint8_t>{20, 25, 2, 1, 7, 7, 5, 9}));
    const ClockFields c = ParseClockText("29.02.2024 - 23:59:59");
    EXPECT_EQ(c.day, 29);
    EXPECT_EQ(c.month, 2);
    EXPECT_EQ(c.year, 2024);
    EXPECT_EQ(c.hour, 23);
    EXPECT_EQ(c.minute, 59);
    EXPECT_EQ(c.second, 59);
    // Anything after the third space-separated piece's seconds is not read.
    EXPECT_EQ(ParseClockText("01.02.2025 - 07:05:09 extra").second, 9);
}

TEST(ClockText, PiecesThatAreNotIntegersFailWithTheConversionText) {
    EXPECT_EQ(FailureText([] { ParseClockText("?\?\?"); }), "'?\?\?' is not a valid integer value");
    EXPECT_EQ(FailureText([] { ParseClockText(""); }), "'' is not a valid integer value");
    EXPECT_EQ(FailureText([] { ParseClockText("01.02.2025 - 07:05:x"); }),
              "'x' is not a valid integer value");
    EXPECT_EQ(FailureText([] { ParseClockText("aa.bb.cccc - dd:ee:ff"); }),
              "'aa' is not a valid integer value");
    EXPECT_EQ(FailureText([] { ParseClockText("01.bb.2025 - 07:05:09"); }),
              "'bb' is not a valid integer value");
    // Pieces are not trimmed: two blanks shift the time piece.
    EXPECT_EQ(FailureText([] { ParseClockText("01.02.2025  - 07:05:09"); }),
              "'-' is not a valid integer value");
    EXPECT_EQ(FailureText([] { ParseClockText("01.02.2025 - 07:05"); }),
              "'' is not a valid integer value");
    EXPECT_EQ(FailureText([] { ParseClockText("2025-02-01 07:05:09"); }),
              "'2025-02-01 07:05:09' is not a valid integer value");
}

TEST(ClockText, ImpossibleDatesAndTimesAreRefusedNamingTheField) {
    EXPECT_EQ(FailureText([] { ParseClockText("31.02.2024 - 10:00:00"); }),
              "Invalid date in device time: day 31 does not exist in month 2 of 2024");
    EXPECT_EQ(FailureText([] { ParseClockText("29.02.2023 - 10:00:00"); }),
              "Invalid date in device time: day 29 does not exist in month 2 of 2023");
    EXPECT_EQ(FailureText([] { ParseClockText("0.01.2024 - 10:00:00"); }),
              "Invalid date in device time: day 0 does not exist in month 1 of 2024");
    EXPECT_EQ(FailureText([] { ParseClockText("01.13.2024 - 10:00:00"); }),
              "Invalid month in device time: 13");
    EXPECT_EQ(FailureText([] { ParseClockText("01.00.2024 - 10:00:00"); }),
              "Invalid month in device time: 0");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.0 - 10:00:00"); }),
              "Invalid year in device time: 0");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.70000 - 10:00:00"); }),
              "Invalid year in device time: 70000");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.2024 - 25:00:00"); }),
              "Invalid hour in device time: 25");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.2024 - 24:00:00"); }),
              "Invalid hour in device time: 24");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.2024 - -1:00:00"); }),
              "Invalid hour in device time: -1");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.2024 - 10:60:00"); }),
              "Invalid minute in device time: 60");
    EXPECT_EQ(FailureText([] { ParseClockText("01.01.2024 - 10:00:61"); }),
              "Invalid second in device time: 61");
    // A bad date is named before a bad time.
    EXPECT_EQ(FailureText([] { ParseClockText("31.04.2024 - 99:99:99"); }),
              "Invalid date in device time: day 31 does not exist in month 4 of 2024");
}

TEST(ClockText, TheDottedFormIsReadInEveryLocaleAndAYearNeedsFourDigits) {
    for (const char* name : {"en_US", "en_GB", "de_DE", "cs_CZ", "fr_FR"}) {
        const FormatSettings fs = FormatSettings::fromLocale(QLocale(name));
        EXPECT_FALSE(fs.shortDateFormat.contains("yy") && !fs.shortDateFormat.contains("yyyy"))
            << name;
        const ClockFields c = ParseClockText("1.2.2025 - 7:5:9", fs);
        EXPECT_EQ(SetTimePayload(c.year, c.month, c.day, c.hour, c.minute, c.second),
                  (std::vector<uint8_t>{20, 25, 2, 1, 7, 7, 5, 9}))
            << name;
        EXPECT_EQ(FailureText([&] { ParseClockText("?\?\?", fs); }),
                  "'?\?\?' is not a valid integer value")
            << name;
    }
    EXPECT_EQ(FailureText([] { ParseClockText("08.12.26 - 08:57:29"); }),
              "Invalid year in device time: 26 (four digits needed)");
    // The shown form is read only as a whole: a two-digit year in it is no date.
    const FormatSettings us = FormatSettings::fromLocale(QLocale("en_US"));
    EXPECT_EQ(FailureText([&] { ParseClockText("12/8/26 - 8:57:29 AM", us); }),
              "'12/8/26 - 8:57:29 AM' is not a valid integer value");
}
