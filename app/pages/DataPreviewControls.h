#pragma once
// The declarative control table of the page "Data Preview": its groups' titles and the rows of
// its shown values, spin edit and button, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/DataPreviewPage.h"

namespace pages::preview {

inline constexpr const char* CurrentTitle = " Current measure: ";
inline constexpr const char* BoardTitle = " Board to draw: ";
// Right of the plot, top to bottom.
inline constexpr GroupRow<DataPreviewPage> CurrentBox{"GroupBox10", CurrentTitle};
inline constexpr GroupRow<DataPreviewPage> BoardBox{"GroupBox18", BoardTitle};

inline const ShownRow<DataPreviewPage> CurrentRows[] = {
    {&DataPreviewPage::ChannelDwTx, "ChannelDwTx", "Channel:", "Label52"},
    {&DataPreviewPage::BoardDwTx, "BoardDwTx", "Board:", "Label32"},
};

// Without caption: the group's title says what it is.
inline const SpinRow<DataPreviewPage> BoardRows[] = {
    {&DataPreviewPage::PwBrdEd, "PwBrdEd", "", "", SpinValue::Integer(1, 8), 1},
};

// Our own: the trend view of one channel, as a real plot over time.
inline const ButtonRow<DataPreviewPage> TrendButtons[] = {
    {&DataPreviewPage::TrendBtn, "TrendBtn", "Trend..."},
};

} // namespace pages::preview
