#include "app/pages/SweepWindowPage.h"

#include "app/pages/SweepWindowControls.h"
#include "sweep/Units.h"
#include "widgets/SpectrumPlot.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace pages;

namespace {

// A point's frequency, range, resistance, reactance, magnitude and phase.
QTableWidget* MakePointTable(QWidget* window) {
    auto* table = new QTableWidget(0, 6, window);
    table->setObjectName("SweepTbl");
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(18);
    table->horizontalHeader()->setDefaultSectionSize(90);
    const UnitScale ohm = BaseScale(Unit::Ohm);
    table->setHorizontalHeaderLabels({QuantityTitle(Quantity::Frequency, BaseScale(Unit::Hertz)),
                                      "range", QuantityTitle(Quantity::Resistance, ohm),
                                      QuantityTitle(Quantity::Reactance, ohm),
                                      QuantityTitle(Quantity::Magnitude, ohm),
                                      QuantityTitle(Quantity::Phase, BaseScale(Unit::Degree))});
    return table;
}

} // namespace

SweepWindowPage BuildSweepWindowPage(QWidget* window) {
    SweepWindowPage c;
    window->setObjectName("FSweep");
    window->setWindowTitle(sweeps::Title);
    c.SweepLst = new QListWidget(window);
    c.SweepLst->setObjectName("SweepLst");
    for (const ShownRow<SweepWindowPage>& s : sweeps::CountRows)
        c.*s.control = MakeLabel(window, s.name, s.shown);
    c.SweepTbl = MakePointTable(window);
    c.SweepPB = new SpectrumPlot(window);
    c.SweepPB->setObjectName("SweepPB");
    MakeTextRows(window, c, sweeps::Buttons);
    MakeTextRows(window, c, sweeps::Labels);
    for (const LabelRow<SweepWindowPage>& l : sweeps::Labels)
        (c.*l.control)->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* left = new QWidget(window);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    left->setMinimumWidth(540);
    leftLayout->addWidget(c.SweepLst, 1);
    for (const ShownRow<SweepWindowPage>& s : sweeps::CountRows) {
        auto* count = new QHBoxLayout;
        count->addWidget(MakeLabel(window, CaptionName(s), s.caption));
        count->addWidget(c.*s.control, 1);
        leftLayout->addLayout(count);
    }
    leftLayout->addWidget(c.SweepTbl, 2);
    auto* right = new QWidget(window);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    for (const ButtonRow<SweepWindowPage>& b : sweeps::Buttons)
        buttons->addWidget(c.*b.control);
    buttons->addStretch(1);
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(c.SweepPB, 1);
    rightLayout->addWidget(c.SweepHoverTx);
    rightLayout->addWidget(c.SweepFitTx);
    auto* split = new QSplitter(window);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(split);
    return c;
}
