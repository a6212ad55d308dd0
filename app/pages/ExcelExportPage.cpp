#include "app/pages/ExcelExportPage.h"

#include "app/pages/ExcelExportControls.h"
#include "app/pages/PageParts.h"
#include "widgets/FileNameEdit.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace pages;

ExcelExportPage BuildExcelExportPage(QWidget* page) {
    ExcelExportPage c;
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);

    column->addWidget(MakeLabel(page, "Label30", "New excel doc name"));
    column->addWidget(MakeFileName(page, c, excel::WorkbookFile));

    QGroupBox* extract = MakeGroup(page, c, excel::ExtractBox);
    auto* grid = MakeGrid(extract);
    grid->addWidget(MakeLabel(extract, "Label44", "Board:"), 0, 0);
    const int row = AddSpinRows(grid, c, excel::ExtractRows);
    MakeTextRows(extract, c, excel::ExtractChecks);
    grid->addWidget(c.SkipVoidChck, row, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    column->addWidget(extract);

    column->addWidget(MakeRadio(page, c, excel::SourceRadio));
    column->addWidget(MakeFileName(page, c, excel::SourceFile));

    MakeTextRows(page, c, excel::FillButtons);
    QPushButton* fill = c.ExExpBtn;
    fill->setIcon(page->style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    fill->setIconSize(QSize(24, 24));
    fill->setMinimumHeight(40);
    column->addLayout(MakeRow({fill}));

    // The export's progress and outcome, and the filled workbook opened in the desktop's
    // spreadsheet program.
    MakeTextRows(page, c, excel::StatusLabels);
    QLabel* status = c.ExStatusTx;
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    MakeTextRows(page, c, excel::StatusButtons);
    QPushButton* open = c.ExOpenBtn;
    open->setEnabled(false);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status, 1);
    statusRow->addWidget(open);
    column->addLayout(statusRow);
    column->addStretch(1);

    // Wide enough for the full paths of the two files.
    outer->addLayout(column, 2);
    outer->addStretch(1);
    return c;
}
