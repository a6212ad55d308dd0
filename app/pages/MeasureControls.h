#pragma once
// The declarative control table of the page "Measure Config": the titles of its groups and the
// rows of their spin edits, labels, buttons and check boxes, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/MeasurePage.h"

#include <array>
#include <iterator>

namespace pages::measure {

inline constexpr const char* VersionTitle = " FW Version Info: ";
inline constexpr const char* PeriodTitle = " Measure period: ";
inline constexpr const char* ParamsTitle = " Measure parameters: ";
inline constexpr const char* MeasureTitle = " Measure: ";
inline constexpr const char* ElectrodesTitle = " Electrodes selection: ";
inline constexpr const char* ValueTitle = " Measured Value: ";

// The left column, top to bottom.
inline constexpr GroupRow<MeasurePage> VersionBox{"GroupBox1", VersionTitle};
inline constexpr GroupRow<MeasurePage> PeriodBox{"MeasPeriodBox", PeriodTitle};
inline constexpr GroupRow<MeasurePage> ParamsBox{"MeasParamsBox", ParamsTitle};
inline constexpr GroupRow<MeasurePage> MeasureBox{"MeasureBox", MeasureTitle};
// The right column, top to bottom.
inline constexpr GroupRow<MeasurePage> ElectrodesBox{"ElectrodesBox", ElectrodesTitle};
inline constexpr GroupRow<MeasurePage> ValueBox{"MeasValueBox", ValueTitle};

// In the electrodes group: the board, and the channels of the board chosen.
inline const RadioRow<MeasurePage> BoardRadio{
    &MeasurePage::BoardGrp, "BoardGrp", " Board ", {"1", "2", "3", "4", "5", "6", "7", "8"}, 0, 8};
inline constexpr GroupRow<MeasurePage> ChannelFrame{"ChannelGrp", "Board X ",
                                                    &MeasurePage::ChannelGrp};

// The channel boxes in ChSelChck's order, four to a column.
struct ChannelBox {
    const char* name;
    const char* text;
};
inline constexpr ChannelBox ChannelBoxes[] = {
    {"Ch1SelChck", "Ch 1"},   {"Ch2SelChck", "Ch 2"},   {"Ch3SelChck", "Ch 3"},
    {"Ch4SelChck", "Ch 4"},   {"Ch5SelChck", "Ch 5"},   {"Ch6SelChck", "Ch 6"},
    {"Ch7SelChck", "Ch 7"},   {"Ch8SelChck", "Ch 8"},   {"Ch9SelChck", "Ch 9"},
    {"Ch10SelChck", "Ch 10"}, {"Ch11SelChck", "Ch 11"}, {"Ch12SelChck", "Ch 12"},
    {"Ch13SelChck", "Ch 13"}, {"Ch14SelChck", "Ch 14"}, {"Ch15SelChck", "Ch 15"},
    {"Ch16SelChck", "Ch 16"},
};
static_assert(std::size(ChannelBoxes) == std::tuple_size_v<decltype(MeasurePage::ChSelChck)>);

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
