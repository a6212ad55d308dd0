#pragma once
// The declarative control table of the window "Sweeps", in the order the controls are made.
#include "app/pages/ControlRows.h"
#include "app/pages/SweepWindowPage.h"

namespace pages::sweeps {

inline constexpr const char* Title = "Sweeps";

// Between the list and the table.
inline const ShownRow<SweepWindowPage> CountRows[] = {
    {&SweepWindowPage::SweepPointsTx, "SweepPointsTx", "Points:", "SweepPointsCaption", "0"},
};

inline const ButtonRow<SweepWindowPage> Buttons[] = {
    {&SweepWindowPage::SweepFitBtn, "SweepFitBtn", "Fit"},
    {&SweepWindowPage::SweepSaveBtn, "SweepSaveBtn", "Save..."},
    {&SweepWindowPage::SweepImageBtn, "SweepImageBtn", "Save image..."},
};

// Below the plots; both may be selected and copied.
inline const LabelRow<SweepWindowPage> Labels[] = {
    {&SweepWindowPage::SweepFitTx, "SweepFitTx", ""},
    {&SweepWindowPage::SweepHoverTx, "SweepHoverTx", ""},
};

} // namespace pages::sweeps
