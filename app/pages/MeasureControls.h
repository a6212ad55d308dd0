#pragma once
// The declarative control table of the page "Measure Config": the titles of its groups and the
// rows of their spin edits, labels, buttons and check boxes, in their order on the page. The
// sixteen channel boxes are made in a loop (Ch1SelChck "Ch 1" to Ch16SelChck "Ch 16").
#include "app/pages/ControlRows.h"
#include "app/pages/MeasurePage.h"

namespace pages::measure {

inline constexpr const char* VersionTitle = " FW Version Info: ";
inline constexpr const char* PeriodTitle = " Measure period: ";
inline constexpr const char* ParamsTitle = " Measure parameters: ";
inline constexpr const char* MeasureTitle = " Measure: ";
inline constexpr const char* ElectrodesTitle = " Electrodes selection: ";
inline constexpr const char* ValueTitle = " Measured Value: ";

inline const LabelRow<MeasurePage> VersionLabels[] = {
    {&MeasurePage::VersionTx, "VersionTx", "?.?"},
};

inline const ButtonRow<MeasurePage> VersionButtons[] = {
    {&MeasurePage::VersionInfoBtn, "VersionInfoBtn", "Get"},
};

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

inline const ButtonRow<MeasurePage> PeriodButtons[] = {
    {&MeasurePage::GetPeriodBtn, "GetPeriodBtn", "Get"},
    {&MeasurePage::SetPeriodBtn, "SetPeriodBtn", "Set"},
};

inline const CheckRow<MeasurePage> ParamsChecks[] = {
    {&MeasurePage::MeasTypeChck, "MeasTypeChck", "Two electrode system"},
};

inline const ButtonRow<MeasurePage> ParamsButtons[] = {
    {&MeasurePage::GetParamsBtn, "GetParamsBtn", "Get"},
    {&MeasurePage::SetParamsBtn, "SetParamsBtn", "Set"},
};

inline const ButtonRow<MeasurePage> MeasureButtons[] = {
    {&MeasurePage::EnableBtn, "EnableBtn", "Start"},
    {&MeasurePage::DisableBtn, "DisableBtn", "Stop"},
    {&MeasurePage::BitBtn1, "BitBtn1", "Clear memory"},
};

inline const ButtonRow<MeasurePage> ElectrodesButtons[] = {
    {&MeasurePage::ClearSelectionBtn, "ClearSelectionBtn", "Clear"},
    {&MeasurePage::SetSelectionBtn, "SetSelectionBtn", "Check All"},
    {&MeasurePage::GetMaskBtn, "GetMaskBtn", "Get"},
    {&MeasurePage::SetMaskBtn, "SetMaskBtn", "Set"},
};

// In two columns of three. The counter has no caption of its own; it is the "Id" of the buffer
// table.
inline const ShownRow<MeasurePage> ValueRows[] = {
    {&MeasurePage::BrdTx, "BrdTx", "Board:"},     {&MeasurePage::ChTx, "ChTx", "Channel:"},
    {&MeasurePage::RangeTx, "RangeTx", "Range:"}, {&MeasurePage::RealTx, "RealTx", "Rx:"},
    {&MeasurePage::ImagTx, "ImagTx", "Xx:"},      {&MeasurePage::CntTx, "CntTx", "Id:"},
};

// Below the two columns, across them.
inline const ShownRow<MeasurePage> TimeRows[] = {
    {&MeasurePage::TimeLabel, "TimeLabel", "Date - Time:"},
};

} // namespace pages::measure
