#pragma once
// The declarative control table of the page "Freq Range": its groups' titles and the rows of
// its sweep parameters, buttons and check box and of the last measured point, in their order
// on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/FreqRangePage.h"

namespace pages::freq {

inline constexpr const char* ParamsTitle = " Measure parameters: ";
inline constexpr const char* ValueTitle = " Measured Value: ";
inline constexpr const char* MeasureTitle = " Measure: ";
inline constexpr GroupRow<FreqRangePage> ParamsBox{"FreqParamsBox", ParamsTitle};
inline constexpr GroupRow<FreqRangePage> ValueBox{"FreqValueBox", ValueTitle};
inline constexpr GroupRow<FreqRangePage> MeasureBox{"FreqMeasureBox", MeasureTitle};

inline const SpinRow<FreqRangePage> ParamsRows[] = {
    {&FreqRangePage::BegFreqEd, "BegFreqEd", "Begin Frequency:", "Hz",
     SpinValue::Integer(100, 20000), 100},
    {&FreqRangePage::EndFreqEd, "EndFreqEd", "End Frequency:", "Hz", SpinValue::Integer(100, 20000),
     100},
    {&FreqRangePage::FreqMultEd, "FreqMultEd", "Step multiplier:", "", SpinValue::Fraction(1.1, 10),
     2.0},
    {&FreqRangePage::FreqVoltageEd, "FreqVoltageEd", "Voltage:", "V", SpinValue::Fraction(0.1, 5),
     0.1},
    {&FreqRangePage::FRepEd, "FRepEd", "Repeat:", "times", SpinValue::Integer(1, 255), 1},
    {&FreqRangePage::FBrdEd, "FBrdEd", "Board:", "", SpinValue::Integer(1, 8), 1},
    {&FreqRangePage::FChnlEd, "FChnlEd", "Channel", "", SpinValue::Integer(1, 16), 1},
};

inline const CheckRow<FreqRangePage> ParamsChecks[] = {
    {&FreqRangePage::FMeasTypeChck, "FMeasTypeChck", "Two electrode system"},
};

inline const ButtonRow<FreqRangePage> ParamsButtons[] = {
    {&FreqRangePage::GetFParamsBtn, "GetFParamsBtn", "Get"},
    {&FreqRangePage::SetFParamsBtn, "SetFParamsBtn", "Set"},
};

inline const ShownRow<FreqRangePage> ValueRows[] = {
    {&FreqRangePage::FFreqTx, "FFreqTx", "Frequency:"},
    {&FreqRangePage::FRangeTx, "FRangeTx", "Range:"},
    {&FreqRangePage::FRxTx, "FRxTx", "Rx:"},
    {&FreqRangePage::FXxTx, "FXxTx", "Xx:"},
};

// Every sweep is kept; "Sweeps..." opens the window that shows them.
inline const ButtonRow<FreqRangePage> MeasureButtons[] = {
    {&FreqRangePage::FreqStartBtn, "FreqStartBtn", "Start"},
    {&FreqRangePage::Button1, "Button1", "Stop"},
    {&FreqRangePage::SweepBtn, "SweepBtn", "Sweeps..."},
};

} // namespace pages::freq
