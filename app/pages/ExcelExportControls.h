#pragma once
// The declarative control table of the page "Excel export": the title of its extract group and
// the rows of its spin edit, check box, buttons and status label, in their order on the page.
#include "app/pages/ControlRows.h"
#include "app/pages/ExcelExportPage.h"

namespace pages::excel {

inline constexpr const char* ExtractTitle = " Extract: ";

// Top to bottom: the workbook to fill (below its caption "New excel doc name", Label30), the
// extract group, the source and the source file.
inline const FileRow<ExcelExportPage> WorkbookFile{&ExcelExportPage::ExFileNameEd, "ExFileNameEd",
                                                   true, kWorkbookFilter};
inline constexpr GroupRow<ExcelExportPage> ExtractBox{"GroupBox12", ExtractTitle};
inline const RadioRow<ExcelExportPage> SourceRadio{
    &ExcelExportPage::SourceRg, "SourceRg", " Source: ", {"from file", "from buffer"}, 1, 2};
inline const FileRow<ExcelExportPage> SourceFile{&ExcelExportPage::SrcFileEd, "SrcFileEd", false,
                                                 kSrcFileFilter};

// Its caption is the label "Label44" before it.
inline const SpinRow<ExcelExportPage> ExtractRows[] = {
    {&ExcelExportPage::ExBrdEd, "ExBrdEd", "", "", SpinValue::Integer(1, 8), 1},
};

inline const CheckRow<ExcelExportPage> ExtractChecks[] = {
    {&ExcelExportPage::SkipVoidChck, "SkipVoidChck", "Skip void items"},
};

inline const ButtonRow<ExcelExportPage> FillButtons[] = {
    {&ExcelExportPage::ExExpBtn, "ExExpBtn", "Fill Table"},
};

// The export's progress and outcome, and the button that opens the filled workbook.
inline const LabelRow<ExcelExportPage> StatusLabels[] = {
    {&ExcelExportPage::ExStatusTx, "ExStatusTx", ""},
};

inline const ButtonRow<ExcelExportPage> StatusButtons[] = {
    {&ExcelExportPage::ExOpenBtn, "ExOpenBtn", "Open"},
};

} // namespace pages::excel
