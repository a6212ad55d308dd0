#pragma once
// The declarative control table of the window "Fleet": its title, its tabs and span, and the rows
// of its buttons and labels, in the order the controls are made.
#include "app/pages/ControlRows.h"
#include "app/pages/FleetWindowPage.h"

namespace pages::fleet {

inline constexpr const char* Title = "Fleet";
inline constexpr const char* LoggersTab = "Loggers";
inline constexpr const char* UnknownTab = "Unknown peers";
inline constexpr const char* SpanTitle = " Span: ";

inline const RadioRow<FleetWindowPage> SpanRadio{&FleetWindowPage::FleetSpanGrp,
                                                 "FleetSpanGrp",
                                                 SpanTitle,
                                                 {"last day", "last week", "all", "from/to"},
                                                 0,
                                                 4};

inline const ButtonRow<FleetWindowPage> ConnectButtons[] = {
    {&FleetWindowPage::FleetConnectBtn, "FleetConnectBtn", "Connect"},
};

inline const LabelRow<FleetWindowPage> StateLabels[] = {
    {&FleetWindowPage::FleetStateTx, "FleetStateTx", ""},
    {&FleetWindowPage::FleetLateTx, "FleetLateTx", ""},
};

// "Cancel" is enabled while a load runs.
inline const ButtonRow<FleetWindowPage> LoadButtons[] = {
    {&FleetWindowPage::FleetLoadBtn, "FleetLoadBtn", "Load"},
    {&FleetWindowPage::FleetCancelBtn, "FleetCancelBtn", "Cancel"},
};

// A caption label before the control it names.
struct Caption {
    const char* name;
    const char* text;
};
inline constexpr Caption DbCaption{"FleetDbLb", "Database:"};
inline constexpr Caption FromCaption{"FleetFromLb", "From:"};
inline constexpr Caption ToCaption{"FleetToLb", "To:"};

} // namespace pages::fleet
