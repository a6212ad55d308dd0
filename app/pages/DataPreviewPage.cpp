#include "app/pages/DataPreviewPage.h"

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

    QGroupBox* current = MakeGroup(page, "GroupBox10", " Current measure: ");
    auto* grid = MakeGrid(current);
    grid->addWidget(MakeLabel(current, "Label52", "Channel:"), 0, 0);
    grid->addWidget(c.ChannelDwTx = ShownValue(current, "ChannelDwTx"), 0, 1);
    grid->addWidget(MakeLabel(current, "Label32", "Board:"), 1, 0);
    grid->addWidget(c.BoardDwTx = ShownValue(current, "BoardDwTx"), 1, 1);
    grid->setColumnStretch(1, 1);
    right->addWidget(current);

    QGroupBox* board = MakeGroup(page, "GroupBox18", " Board to draw: ");
    auto* boardGrid = MakeGrid(board);
    boardGrid->addWidget(c.PwBrdEd = MakeSpin(board, "PwBrdEd", SpinValue::Integer(1, 8), 1), 0, 0);
    boardGrid->setColumnStretch(1, 1);
    right->addWidget(board);
    // Our own: the trend view of one channel, as a real plot over time.
    c.TrendBtn = MakeButton(page, "TrendBtn", "Trend...");
    right->addLayout(MakeRow({c.TrendBtn}));
    right->addStretch(1);

    outer->addLayout(right, 1);
    return c;
}
