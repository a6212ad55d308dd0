// One unit prefix per axis, chosen by the largest value it shows.
#include <cmath>

#include <gtest/gtest.h>

#include "sweep/Units.h"

TEST(Units, OnePrefixForARangeOfValues) {
    struct Case {
        Unit unit;
        double lo, hi;
        const char* symbol;
        double value;
        const char* shown; // value with two decimals
    } cases[] = {
        {Unit::Ohm, 0.5, 999.4, "Ω", 12.345, "12.35 Ω"},
        {Unit::Ohm, 10, 1000, "kΩ", 12.345, "0.01 kΩ"},
        {Unit::Ohm, -250000, 3000, "kΩ", -250000, "-250.00 kΩ"},
        {Unit::Ohm, 1, 2e6, "MΩ", 1.5e6, "1.50 MΩ"},
        {Unit::Ohm, NAN, INFINITY, "Ω", NAN, "?"},
        {Unit::Hertz, 100, 999, "Hz", 100, "100.00 Hz"},
        {Unit::Hertz, 100, 20000, "kHz", 12800, "12.80 kHz"},
        {Unit::Hertz, 100, 5e6, "kHz", 5e6, "5000.00 kHz"},
        {Unit::Degree, -90, 0, "°", -45.5, "-45.50°"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi << " " << c.shown);
        const UnitScale s = ScaleFor(c.unit, c.lo, c.hi);
        EXPECT_EQ(s.symbol.toStdString(), c.symbol);
        EXPECT_EQ(WithUnit(c.value, s, 2).toStdString(), c.shown);
    }
    EXPECT_EQ(QuantityTitle(Quantity::Magnitude, ScaleFor(Unit::Ohm, 0, 5e4)).toStdString(),
              "|Z| (kΩ)");
}
