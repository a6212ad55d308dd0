// The spin edit widget: free text, program writes, stepping and its change signal.
#include "widgets/SpinEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

void LeaveField(SpinEdit& spin) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&spin, &out);
}

TEST(SpinEdit, AcceptsAnyTypedText) {
    SpinEdit spin(SpinValue::Integer(1, 59), 1);
    spin.SetText("");
    QTest::keyClicks(&spin, "a1b?");
    EXPECT_EQ(spin.Text(), "a1b?");
    EXPECT_DOUBLE_EQ(spin.Value(), 1) << "no number reads as the minimum";
    QString text = "anything at all";
    int pos = 0;
    EXPECT_EQ(spin.validate(text, pos), QValidator::Acceptable);
    EXPECT_EQ(text, "anything at all");
}

TEST(SpinEdit, ProgramWritesAreClampedAndRounded) {
    SpinEdit voltage(SpinValue::Fraction(0.1, 5), 0.1);
    voltage.SetValue(0.0195);
    EXPECT_EQ(voltage.Text(), "0.10");
    voltage.SetValue(3.14159);
    EXPECT_EQ(voltage.Text(), "3.14");
    EXPECT_DOUBLE_EQ(voltage.Value(), 3.14);

    SpinEdit freq(SpinValue::Integer(100, 20000), 100);
    freq.SetValue(999.99);
    EXPECT_EQ(freq.Text(), "1000");
    freq.SetValue(2.5e6);
    EXPECT_EQ(freq.Text(), "20000");
    EXPECT_EQ(freq.RoundedValue(), 20000);
}

TEST(SpinEdit, TypedNumberOutsideRangeIsKeptUntilTheFieldIsLeft) {
    SpinEdit minute(SpinValue::Integer(1, 59), 1);
    minute.SetText("300");
    EXPECT_EQ(minute.Text(), "300");
    EXPECT_DOUBLE_EQ(minute.Value(), 59) << "reading never exceeds the range";
    LeaveField(minute);
    EXPECT_EQ(minute.Text(), "59");

    minute.SetText("2.5");
    LeaveField(minute);
    EXPECT_EQ(minute.Text(), "2") << "an integer control shows whole numbers once left";

    minute.SetText("abc");
    LeaveField(minute);
    EXPECT_EQ(minute.Text(), "abc") << "a text that is no number stays for the operator to see";
}

TEST(SpinEdit, StepsByIncrementWithinRange) {
    SpinEdit latency(SpinValue::Integer(100, 25500, 100), 100);
    latency.stepBy(1);
    EXPECT_EQ(latency.Text(), "200");
    QTest::keyClick(&latency, Qt::Key_Up);
    EXPECT_EQ(latency.Text(), "300");
    QTest::keyClick(&latency, Qt::Key_Down);
    QTest::keyClick(&latency, Qt::Key_Down);
    QTest::keyClick(&latency, Qt::Key_Down);
    EXPECT_EQ(latency.Text(), "100") << "stepping stops at the minimum";
    latency.SetValue(25400);
    latency.stepBy(5);
    EXPECT_EQ(latency.Text(), "25500");

    SpinEdit board(SpinValue::Integer(1, 8), 8);
    QTest::keyClick(&board, Qt::Key_Up);
    EXPECT_EQ(board.Text(), "8");

    SpinEdit free(SpinValue(), 0);
    free.stepBy(-3);
    EXPECT_EQ(free.Text(), "-3");

    SpinEdit frac(SpinValue::Fraction(1.1, 10), 2.0);
    frac.stepBy(1);
    EXPECT_EQ(frac.Text(), "2.10");
}

TEST(SpinEdit, ReadOnlyDoesNotStep) {
    SpinEdit spin(SpinValue::Integer(0, 10), 5);
    spin.setReadOnly(true);
    spin.stepBy(1);
    EXPECT_EQ(spin.Text(), "5");
}

TEST(SpinEdit, ChangedOnEveryTextChange) {
    SpinEdit spin(SpinValue::Integer(1, 8), 1);
    QSignalSpy spy(&spin, &SpinEdit::changed);
    spin.SetValue(3);
    EXPECT_EQ(spy.count(), 1);
    spin.SetValue(3);
    EXPECT_EQ(spy.count(), 1) << "writing the same text is no change";
    spin.stepBy(1);
    EXPECT_EQ(spy.count(), 2);
    spin.SetText("");
    QTest::keyClicks(&spin, "xy");
    EXPECT_EQ(spy.count(), 5) << "clearing, then one change per typed character";
}

TEST(SpinEdit, SeparatorOfTheOperatorIsRead) {
    SpinEdit voltage(SpinValue::Fraction(0.1, 5), 0.1);
    voltage.SetText("1,5");
    EXPECT_DOUBLE_EQ(voltage.Value(), 0.1);
    voltage.SetDecimalSeparator(',');
    EXPECT_DOUBLE_EQ(voltage.Value(), 1.5);
    LeaveField(voltage);
    EXPECT_EQ(voltage.Text(), "1.50");
}

TEST(SpinEdit, IsWideEnoughForItsLimits) {
    SpinEdit narrow(SpinValue::Integer(1, 8), 1);
    SpinEdit wide(SpinValue::Integer(-100000000, 100), 0);
    EXPECT_GT(wide.sizeHint().width(), narrow.sizeHint().width());
    EXPECT_GE(wide.sizeHint().width(), wide.fontMetrics().horizontalAdvance("-100000000"));
}

// Whether the widget as drawn has a red frame: the middle of its left edge.
bool RedFrame(SpinEdit& spin) {
    const QImage image = spin.grab().toImage();
    const QColor c = image.pixelColor(1, image.height() / 2);
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

TEST(SpinEdit, ATextThatDoesNotReadAsItselfIsFramedRedWithWhatItReadsAs) {
    SpinEdit voltage(SpinValue::Fraction(0.1, 5), 0.1);
    voltage.SetDecimalSeparator(',');
    SpinEdit minute(SpinValue::Integer(1, 59), 1);
    SpinEdit free(SpinValue::Integer(0, 0), 0);
    for (SpinEdit* spin : {&voltage, &minute, &free})
        spin->resize(spin->sizeHint());
    const struct {
        SpinEdit* spin;
        const char* text;
        const char* tip; // empty: reads as itself
    } cases[] = {
        {&voltage, "0.05", "reads as 0.10"},
        {&voltage, "abc", "reads as 0.10"},
        {&voltage, "", "reads as 0.10"},
        {&voltage, "6", "reads as 5.00"},
        {&voltage, "2,5", ""},
        {&voltage, " 0.1 ", ""},
        {&voltage, "3.14159", ""},
        {&minute, "300", "reads as 59"},
        {&minute, "2.5", "reads as 2"},
        {&minute, "x", "reads as 1"},
        {&minute, "30", ""},
        {&free, "-7", ""},
        {&free, "1e20", "reads as 2147483647"},
    };
    for (const auto& c : cases) {
        c.spin->SetText(c.text);
        EXPECT_EQ(c.spin->toolTip(), c.tip) << c.text;
        EXPECT_EQ(RedFrame(*c.spin), *c.tip != 0) << c.text;
    }

    // Leaving the field shows the number as held: the frame goes.
    minute.SetText("300");
    EXPECT_TRUE(RedFrame(minute));
    LeaveField(minute);
    EXPECT_EQ(minute.Text(), "59");
    EXPECT_EQ(minute.toolTip(), "");
    EXPECT_FALSE(RedFrame(minute));
}

} // namespace
