// The operator's conventions as read from a locale, and the fixed-point text built on them.
#include <gtest/gtest.h>

#include "base/FormatSettings.h"

TEST(FormatSettings, ComeFromTheLocaleWithoutAZoneInTheTime) {
    const FormatSettings de = FormatSettings::fromLocale(QLocale("de_DE"));
    EXPECT_EQ(de.decimalSeparator, ',');
    EXPECT_EQ(de.timeSeparator, ':');
    EXPECT_EQ(de.shortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(de.longTimeFormat, "HH:mm:ss");

    const FormatSettings c = FormatSettings::fromLocale(QLocale::c());
    EXPECT_EQ(c.decimalSeparator, '.');
    EXPECT_FALSE(c.longTimeFormat.contains('t'));
    EXPECT_TRUE(c.longTimeFormat.startsWith("HH:mm:ss"));
}

TEST(FormatSettings, Fixed2UsesTheSeparatorAndNoThousands) {
    FormatSettings fs;
    EXPECT_EQ(Fixed2(12345000.0, fs), "12345000.00");
    EXPECT_EQ(Fixed2(-0.0123 * 1000, fs), "-12.30");
    EXPECT_EQ(Fixed2(2.005, fs), "2.00"); // the nearest double is below 2.005
    fs.decimalSeparator = ',';
    EXPECT_EQ(Fixed2(0.5, fs), "0,50");
}
