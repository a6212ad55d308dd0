#pragma once
// The declarative control table of the trend window, in the order the controls are made.
#include "app/pages/ControlRows.h"
#include "app/pages/TrendWindowPage.h"

namespace pages::trend {

// Board and channel, 1-based; their captions stand before them.
inline const SpinRow<TrendWindowPage> SourceRows[] = {
    {&TrendWindowPage::TrendBrdEd, "TrendBrdEd", "Board:", "", SpinValue::Integer(1, 8), 1,
     "TrendBrdCaption"},
    {&TrendWindowPage::TrendChEd, "TrendChEd", "Channel:", "", SpinValue::Integer(1, 16), 1,
     "TrendChCaption"},
};

inline const CheckRow<TrendWindowPage> Checks[] = {
    {&TrendWindowPage::TrendLogChck, "TrendLogChck", "Logarithmic"},
};

inline const ButtonRow<TrendWindowPage> Buttons[] = {
    {&TrendWindowPage::TrendResetBtn, "TrendResetBtn", "Reset zoom"},
    {&TrendWindowPage::TrendSaveBtn, "TrendSaveBtn", "Save image..."},
};

inline const LabelRow<TrendWindowPage> Labels[] = {
    {&TrendWindowPage::TrendItemsTx, "TrendItemsTx", ""},
    {&TrendWindowPage::TrendHoverTx, "TrendHoverTx", ""},
    {&TrendWindowPage::TrendHintTx, "TrendHintTx",
     "Wheel or drag: zoom  -  right drag: pan  -  Esc or double click: all"},
};

} // namespace pages::trend
