// The spin edit's rules without a widget: what a text reads as, what a write shows.
#include "base/SpinValue.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <cmath>
#include <limits>

namespace {

const SpinValue kVoltage = SpinValue::Fraction(0.1, 5);
const SpinValue kFreq = SpinValue::Integer(100, 20000);
const SpinValue kMinute = SpinValue::Integer(1, 59);
const SpinValue kFree; // no limits, integer

TEST(SpinValueRead, TextThatIsNoNumberReadsAsMinValue) {
    for (const char* text : {"", "   ", "abc", "12abc", "1 2", "1,000.5", "nan", "inf", "-inf",
                             "--1", ".", "+", "1e", "0x10", "1.2.3", "???"}) {
        SCOPED_TRACE(text);
        EXPECT_DOUBLE_EQ(kVoltage.Value(text), 0.1);
        EXPECT_DOUBLE_EQ(kMinute.Value(text), 1);
        EXPECT_DOUBLE_EQ(kFree.Value(text), 0);
        EXPECT_EQ(kFree.RoundedValue(text), 0);
    }
}

TEST(SpinValueRead, NumbersAsWritten) {
    EXPECT_DOUBLE_EQ(kFree.Value("  42 "), 42);
    EXPECT_DOUBLE_EQ(kFree.Value("-17"), -17);
    EXPECT_DOUBLE_EQ(kFree.Value("+5"), 5);
    EXPECT_DOUBLE_EQ(kVoltage.Value("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(kVoltage.Value(".5"), 0.5);
    EXPECT_DOUBLE_EQ(kVoltage.Value("3."), 3);
    EXPECT_DOUBLE_EQ(kFreq.Value("1e3"), 1000);
    EXPECT_DOUBLE_EQ(kFreq.Value("12.5E2"), 1250);
}

TEST(SpinValueRead, OperatorsDecimalSeparatorIsAcceptedBesidesThePoint) {
    SpinValue comma = kVoltage;
    EXPECT_DOUBLE_EQ(comma.Value("2,5"), 0.1) << "a comma is no decimal point by default";
    comma.SetDecimalSeparator(',');
    EXPECT_DOUBLE_EQ(comma.Value("2,5"), 2.5);
    EXPECT_DOUBLE_EQ(comma.Value("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(comma.Value("1.000,5"), 0.1) << "group separators are not numbers";
    EXPECT_EQ(comma.Text(2.5), "2.50") << "written texts keep the point";
}

TEST(SpinValueRead, NumberOutsideTheRangeReadsAsTheNearestLimit) {
    EXPECT_DOUBLE_EQ(kMinute.Value("300"), 59);
    EXPECT_DOUBLE_EQ(kMinute.Value("-5"), 1);
    EXPECT_DOUBLE_EQ(kVoltage.Value("0.0195"), 0.1);
    EXPECT_DOUBLE_EQ(kVoltage.Value("7.25"), 5);
    EXPECT_DOUBLE_EQ(kMinute.Value("59"), 59);
    EXPECT_DOUBLE_EQ(kMinute.Value("1"), 1);
}

TEST(SpinValueRead, MinEqualMaxMeansNoLimits) {
    EXPECT_FALSE(kFree.HasLimits());
    EXPECT_DOUBLE_EQ(kFree.Value("-123456"), -123456);
    EXPECT_DOUBLE_EQ(kFree.Value("987654"), 987654);
    EXPECT_DOUBLE_EQ(kFree.Fit(1e6), 1e6);
    EXPECT_EQ(kFree.Text(-40000), "-40000");
    EXPECT_TRUE(kFree.CanStepUp("2000000000"));
    EXPECT_TRUE(kFree.CanStepDown("-2000000000"));
    EXPECT_TRUE(kMinute.HasLimits());
}

TEST(SpinValueRead, IntegerControlReadsFractionsAsTypedAndRoundsHalfToEven) {
    const SpinValue hours = SpinValue::Integer(0, 255);
    EXPECT_DOUBLE_EQ(hours.Value("2.5"), 2.5);
    EXPECT_EQ(hours.RoundedValue("2.5"), 2);
    EXPECT_EQ(hours.RoundedValue("3.5"), 4);
    EXPECT_EQ(hours.RoundedValue("4.51"), 5);
    EXPECT_EQ(hours.RoundedValue("300.4"), 255);
}

TEST(SpinValueRead, IntegerControlStaysWithin32Bits) {
    EXPECT_DOUBLE_EQ(kFree.Value("1e30"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(kFree.RoundedValue("-1e30"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(kFree.RoundedValue("99999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(kFree.Text(1e300), "2147483647");
}

TEST(SpinValueWrite, IntegerControlsRoundHalfToEven) {
    EXPECT_EQ(kFree.Text(2.5), "2");
    EXPECT_EQ(kFree.Text(3.5), "4");
    EXPECT_EQ(kFree.Text(-2.5), "-2");
    EXPECT_EQ(kFree.Text(0.5), "0");
    EXPECT_EQ(kFree.Text(-0.4), "0");
    EXPECT_EQ(kFree.Text(2.51), "3");
    EXPECT_EQ(kFreq.Text(999.99), "1000");
    EXPECT_EQ(kFreq.Text(20000.5), "20000");
}

TEST(SpinValueWrite, WritesAreClampedToTheRange) {
    EXPECT_EQ(kFreq.Text(50), "100");
    EXPECT_EQ(kFreq.Text(1e9), "20000");
    EXPECT_EQ(kMinute.Text(0), "1");
    EXPECT_EQ(kVoltage.Text(9), "5.00");
    EXPECT_EQ(kVoltage.Text(-1), "0.10");
}

TEST(SpinValueWrite, FractionControlsShowTwoDecimals) {
    EXPECT_EQ(kVoltage.Text(0.0195), "0.10");
    EXPECT_EQ(kVoltage.Text(2), "2.00");
    EXPECT_EQ(kVoltage.Text(0.3333), "0.33");
    EXPECT_EQ(kVoltage.Text(4.996), "5.00");
    EXPECT_EQ(SpinValue::Fraction(1.1, 10).Text(2.0), "2.00");
    EXPECT_EQ(SpinValue::Fraction(0, 0).Text(-0.001), "0.00") << "no negative zero";
    EXPECT_EQ(SpinValue::Fraction(0, 0).Text(-12.3), "-12.30");
    EXPECT_EQ(SpinValue(0, 0, 1, 3).Text(1.5), "1.500");
}

TEST(SpinValueWrite, ValuesThatAreNoNumbersStoreTheMinimum) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(kVoltage.Text(nan), "0.10");
    EXPECT_EQ(kMinute.Text(nan), "1");
    EXPECT_EQ(kVoltage.Text(inf), "5.00");
    EXPECT_EQ(SpinValue::Fraction(0, 0).Text(inf), "0.00");
    EXPECT_EQ(kFree.Text(-inf), "-2147483648");
}

TEST(SpinValueStep, StepsByTheIncrementWithinTheRange) {
    const SpinValue latency = SpinValue::Integer(100, 25500, 100);
    EXPECT_EQ(latency.Stepped("100", 1), "200");
    EXPECT_EQ(latency.Stepped("300", -2), "100");
    EXPECT_EQ(latency.Stepped("25500", 1), "25500");
    EXPECT_EQ(latency.Stepped("150", 1), "250");
    EXPECT_EQ(latency.Stepped("x", 1), "200") << "no number steps from the minimum";
    EXPECT_EQ(kVoltage.Stepped("0.10", 3), "0.40");
    EXPECT_EQ(kVoltage.Stepped("4.95", 1), "5.00");
    EXPECT_EQ(kFree.Stepped("0", -5), "-5");
}

TEST(SpinValueStep, StepsAreOfferedOnlyTowardsRoomInTheRange) {
    EXPECT_FALSE(kMinute.CanStepUp("59"));
    EXPECT_FALSE(kMinute.CanStepUp("70"));
    EXPECT_TRUE(kMinute.CanStepDown("59"));
    EXPECT_FALSE(kMinute.CanStepDown("1"));
    EXPECT_FALSE(kMinute.CanStepDown("nothing"));
    EXPECT_TRUE(kMinute.CanStepUp("nothing"));
}

TEST(SpinValueRead, AnyTextReadsAsAFiniteNumberInRange) {
    QRandomGenerator rng(20240611);
    const QString alphabet = QStringLiteral("0123456789.,+-eE \t x\u00e9\u0660\u0661\u00a0");
    const SpinValue rules[] = {kVoltage, kFreq, kMinute, kFree, SpinValue::Fraction(0, 0)};
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int len = rng.bounded(12);
        for (int k = 0; k < len; ++k)
            text += alphabet[rng.bounded(static_cast<int>(alphabet.size()))];
        for (const SpinValue& r : rules) {
            const double v = r.Value(text);
            ASSERT_TRUE(std::isfinite(v)) << text.toStdString();
            if (r.HasLimits()) {
                ASSERT_GE(v, r.MinValue()) << text.toStdString();
                ASSERT_LE(v, r.MaxValue()) << text.toStdString();
            }
            // What a text reads as, written back, reads the same once rounded.
            ASSERT_EQ(r.Value(r.Text(v)), r.Fit(v)) << text.toStdString();
        }
    }
}

} // namespace
