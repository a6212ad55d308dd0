#pragma once
// The declarative control table of the page "Download": the titles of its groups and the rows
// of their spin edits, labels and buttons, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/DownloadPage.h"

namespace pages::download {

inline constexpr const char* DownloadTitle = " Data download: ";
inline constexpr const char* SizeTitle = "Data Size: ";
inline constexpr GroupRow<DownloadPage> DownloadBox{"DownloadBox", DownloadTitle};
inline constexpr GroupRow<DownloadPage> SizeBox{"DataSizeBox", SizeTitle};

// Without limits: the logger's item numbers are checked when the request is built.
inline const SpinRow<DownloadPage> DownloadRows[] = {
    {&DownloadPage::FromValEd, "FromValEd", "From Value:", "", SpinValue(), 0},
    {&DownloadPage::AmountValEd, "AmountValEd", "Amount:", "", SpinValue(), 0},
};

// The number of items the logger holds, beside "Amount:".
inline const LabelRow<DownloadPage> AmountLabels[] = {
    {&DownloadPage::AmountTx, "AmountTx", "X"},
};

inline const ButtonRow<DownloadPage> DownloadButtons[] = {
    {&DownloadPage::DwnBtn, "DwnBtn", "Download into buffer"},
};

// Progress of the download, then the counters that did not arrive and the way to get them.
inline const LabelRow<DownloadPage> ProgressLabels[] = {
    {&DownloadPage::DwnProgressTx, "DwnProgressTx", ""},
    {&DownloadPage::DwnMissingTx, "DwnMissingTx", ""},
};

inline const ButtonRow<DownloadPage> MissingButtons[] = {
    {&DownloadPage::DwnMissingBtn, "DwnMissingBtn", "Download missing"},
};

inline const LabelRow<DownloadPage> SizeLabels[] = {
    {&DownloadPage::SizeTx, "SizeTx", "X"},
};

inline const ButtonRow<DownloadPage> SizeButtons[] = {
    {&DownloadPage::GetSizeBtn, "GetSizeBtn", "Get "},
    {&DownloadPage::FormatBtn, "FormatBtn", "Clear internal memory"},
};

} // namespace pages::download
