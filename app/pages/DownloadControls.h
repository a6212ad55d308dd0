#pragma once
// The declarative control table of the page "Download": the title of its download group and
// the rows of its spin edits, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/DownloadPage.h"

namespace pages::download {

inline constexpr const char* DownloadTitle = " Data download: ";

// Without limits: the logger's item numbers are checked when the request is built.
inline const SpinRow<DownloadPage> DownloadRows[] = {
    {&DownloadPage::FromValEd, "FromValEd", "From Value:", "", SpinValue(), 0},
    {&DownloadPage::AmountValEd, "AmountValEd", "Amount:", "", SpinValue(), 0},
};

} // namespace pages::download
