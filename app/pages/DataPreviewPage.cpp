#include "app/pages/DataPreviewPage.h"

#include "app/pages/DataPreviewControls.h"
#include "app/pages/Looks.h"
#include "app/pages/PageParts.h"
#include "widgets/PreviewPlot.h"
#include "widgets/SpinEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace pages;

DataPreviewPage BuildDataPreviewPage(QWidget* page, QWidget* pb) {
    DataPreviewPage c;
    if (pb == nullptr)
        pb = new QWidget(page);
    if (pb->objectName().isEmpty())
        pb->setObjectName(PreviewPlot::ControlName);
    pb->setFixedWidth(kPreviewPlotWidth);
    pb->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(0, 0, 6, 0);
    outer->setSpacing(6);
    outer->addWidget(pb);

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 6, 0, 6);
    right->setSpacing(6);

    QGroupBox* current = MakeGroup(page, c, preview::CurrentBox);
    auto* grid = MakeGrid(current);
    AddShownRows(grid, c, preview::CurrentRows, 0);
    for (const ShownRow<DataPreviewPage>& s : preview::CurrentRows) {
        looks::SetTextColor(c.*s.control, looks::kBlue);
        looks::SetBold(c.*s.control);
    }
    grid->setColumnStretch(1, 1);
    right->addWidget(current);

    QGroupBox* board = MakeGroup(page, c, preview::BoardBox);
    auto* boardGrid = MakeGrid(board);
    MakeSpins(board, c, preview::BoardRows);
    boardGrid->addWidget(c.PwBrdEd, 0, 0);
    boardGrid->setColumnStretch(1, 1);
    right->addWidget(board);
    MakeTextRows(page, c, preview::TrendButtons);
    right->addLayout(MakeRow({c.TrendBtn}));
    right->addStretch(1);

    outer->addLayout(right, 1);
    return c;
}
