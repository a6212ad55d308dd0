#pragma once
// The declarative control table of the page "Measure Config": the titles of its settings groups
// and the rows of their spin edits, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/MeasurePage.h"

namespace pages::measure {

inline constexpr const char* PeriodTitle = " Measure period: ";
inline constexpr const char* ParamsTitle = " Measure parameters: ";

inline const SpinRow<MeasurePage> PeriodRows[] = {
    {&MeasurePage::PerHourEd, "PerHourEd", "Hour:", "", SpinValue::Integer(0, 255), 0},
    {&MeasurePage::PerMinEd, "PerMinEd", "Minute:", "", SpinValue::Integer(1, 59), 1},
};

inline const SpinRow<MeasurePage> ParamsRows[] = {
    {&MeasurePage::FreqEd, "FreqEd", "Frequency:", "Hz", SpinValue::Integer(100, 20000), 100},
    {&MeasurePage::VoltageEd, "VoltageEd", "Voltage:", "V", SpinValue::Fraction(0.1, 5), 0.1},
    {&MeasurePage::LatEd, "LatEd", "Switch latency:", "ms", SpinValue::Integer(100, 25500, 100),
     100},
    {&MeasurePage::RepEd, "RepEd", "Repeat:", "times", SpinValue::Integer(1, 255), 1},
};

} // namespace pages::measure
