#include "app/pages/DataPreviewPage.h"

#include "app/pages/DataPreviewControls.h"
#include "app/pages/Looks.h"
#include "app/pages/PageParts.h"
#include "widgets/SpinEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace pages;

namespace {

QLabel* ShownValue(QWidget* owner, const QString& name) {
    QLabel* l = MakeLabel(owner, name, "X");
    looks::SetTextColor(l, looks::kBlue);
    looks::SetBold(l);
    return l;
}

} // namespace

DataPreviewPage BuildDataPreviewPage(QWidget* page, QWidget* pb) {
    DataPreviewPage c;
    if (pb == nullptr)
        pb = new QWidget(page);
    if (pb->objectName().isEmpty())
        pb->setObjectName("PB");
    pb->setFixedWidth(kPreviewPlotWidth);
    pb->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(0, 0, 6, 0);
    outer->setSpacing(6);
    outer->addWidget(pb);

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 6, 0, 6);
    right->setSpacing(6);

    QGroupBox* current = MakeGroup(page, "GroupBox10", preview::CurrentTitle);
    auto* grid = MakeGrid(current);
    int row = 0;
    for (const ShownRow<DataPreviewPage>& s : preview::CurrentRows) {
        grid->addWidget(MakeLabel(current, s.captionName, s.caption), row, 0);
        grid->addWidget(c.*s.control = ShownValue(current, s.name), row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    right->addWidget(current);

    QGroupBox* board = MakeGroup(page, "GroupBox18", preview::BoardTitle);
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
