#pragma once
// The declarative control table of the page "System Config": its groups' titles and the rows of
// their edits, spin edits and buttons, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/SystemConfigPage.h"

namespace pages::sysconfig {

inline constexpr const char* ClockTitle = " Date time: ";
inline constexpr const char* NetTitle = " GPRS settings: ";
inline constexpr const char* ReportTitle = " GPRS report settings: ";
inline constexpr GroupRow<SystemConfigPage> ClockBox{"DateTimeBox", ClockTitle};
inline constexpr GroupRow<SystemConfigPage> NetBox{"GprsNetBox", NetTitle};
inline constexpr GroupRow<SystemConfigPage> ReportBox{"GprsReportBox", ReportTitle};

inline const EditRow<SystemConfigPage> ClockEdits[] = {
    {&SystemConfigPage::ClockEd, "ClockEd", "???", "Device time:"},
};

inline const ButtonRow<SystemConfigPage> ClockButtons[] = {
    {&SystemConfigPage::SynchronizeBtn, "SynchronizeBtn", "Local"},
    {&SystemConfigPage::GetTimeBtn, "GetTimeBtn", "Get"},
    {&SystemConfigPage::SetTimeBtn, "SetTimeBtn", "Set"},
};

inline const EditRow<SystemConfigPage> NetEdits[] = {
    {&SystemConfigPage::APNEd, "APNEd", "???", "APN:"},
    {&SystemConfigPage::ServIPEd, "ServIPEd", "???", "Server IP:"},
};

inline const ButtonRow<SystemConfigPage> NetButtons[] = {
    {&SystemConfigPage::GetGPRSnetBtn, "GetGPRSnetBtn", "Get"},
    {&SystemConfigPage::SetGPRSnetBtn, "SetGPRSnetBtn", "Set"},
};

// On one line: "Send report every day at: [hour] h [minute] min". The settings come from the
// logger; until then they show 0.
inline const SpinRow<SystemConfigPage> ReportAtRows[] = {
    {&SystemConfigPage::RepHourEd, "RepHourEd", "Send report every day at:", "h", SpinValue(), 0},
    {&SystemConfigPage::RepMinEd, "RepMinEd", "", "min", SpinValue(), 0},
};

inline const SpinRow<SystemConfigPage> ReportRows[] = {
    {&SystemConfigPage::RetryRepEd, "RetryRepEd", "Number of retries:", "times", SpinValue(), 0},
};

inline const ButtonRow<SystemConfigPage> ReportButtons[] = {
    {&SystemConfigPage::GetGPRSrepBtn, "GetGPRSrepBtn", "Get"},
    {&SystemConfigPage::SetGPRSrepBtn, "SetGPRSrepBtn", "Set"},
    {&SystemConfigPage::GPRSforceBtn, "GPRSforceBtn", "Force GPRS report now"},
};

} // namespace pages::sysconfig
