#pragma once
// The declarative control table of the page "Data Buffer": the title of its save group and the
// rows of its spin edits, buttons and labels, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/DataBufferPage.h"

namespace pages::buffer {

inline constexpr const char* SaveTitle = " Save buffer: ";
inline constexpr GroupRow<DataBufferPage> SaveBox{"GroupBox19", SaveTitle};

// The range of items to save, on one line: "From item [from] To item [till]". Without limits:
// the range is checked against the buffer when it is saved.
inline const SpinRow<DataBufferPage> SaveRows[] = {
    {&DataBufferPage::SaveBufFromEd, "SaveBufFromEd", "From item ", "", SpinValue(), 0, "Label48"},
    {&DataBufferPage::SaveBufTillEd, "SaveBufTillEd", "To item ", "", SpinValue(), 0, "Label50"},
};

inline const ButtonRow<DataBufferPage> SaveButtons[] = {
    {&DataBufferPage::SaveBufBtn, "SaveBufBtn", "Save"},
    {&DataBufferPage::SaveBufAllBtn, "SaveBufAllBtn", "Save All"},
    {&DataBufferPage::ClearBufBtn, "ClearBufBtn", "Clear"},
};

// The item count, after its caption "Items in buffer - " (Label46).
inline const LabelRow<DataBufferPage> CountLabels[] = {
    {&DataBufferPage::PoolItemsTx, "PoolItemsTx", "0"},
};

// The measurement archive beside the buffer: where it writes (or why it cannot), and its
// sessions.
inline const LabelRow<DataBufferPage> ArchiveLabels[] = {
    {&DataBufferPage::ArchiveTx, "ArchiveTx", "Archive: off"},
};

inline const ButtonRow<DataBufferPage> ArchiveButtons[] = {
    {&DataBufferPage::HistoryBtn, "HistoryBtn", "History..."},
};

} // namespace pages::buffer
