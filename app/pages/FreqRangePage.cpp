#include "app/pages/FreqRangePage.h"

#include "app/pages/FreqRangeControls.h"
#include "app/pages/PageParts.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace pages;

namespace {

QGroupBox* ParamsGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, "FreqParamsBox", freq::ParamsTitle);
    auto* grid = MakeGrid(g);
    const int row = AddSpinRows(grid, c, freq::ParamsRows);
    grid->addWidget(c.FMeasTypeChck = MakeCheck(g, "FMeasTypeChck", "Two electrode system"), row, 0,
                    1, 4);
    grid->addWidget(c.GetFParamsBtn = MakeButton(g, "GetFParamsBtn", "Get"), 0, 3);
    grid->addWidget(c.SetFParamsBtn = MakeButton(g, "SetFParamsBtn", "Set"), 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* ValueGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, "FreqValueBox", freq::ValueTitle);
    auto* grid = MakeGrid(g);
    int row = 0;
    for (const ShownRow<FreqRangePage>& s : freq::ValueRows)
        AddRow(grid, row++, c.*s.control = MakeLabel(g, s.name, "X"), s.caption);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ActionsGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, "FreqMeasureBox", freq::MeasureTitle);
    auto* grid = MakeGrid(g);
    c.FreqStartBtn = MakeButton(g, "FreqStartBtn", "Start");
    c.Button1 = MakeButton(g, "Button1", "Stop");
    grid->addLayout(MakeRow({c.FreqStartBtn, c.Button1}), 0, 0);
    // Every sweep is kept; this opens the window that shows them.
    grid->addWidget(c.SweepBtn = MakeButton(g, "SweepBtn", "Sweeps..."), 1, 0);
    return g;
}

} // namespace

FreqRangePage BuildFreqRangePage(QWidget* page) {
    FreqRangePage c;
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    auto* left = new QVBoxLayout;
    left->addWidget(ParamsGroup(page, c));
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(ValueGroup(page, c));
    right->addWidget(ActionsGroup(page, c));
    right->addStretch(1);

    outer->addLayout(left, 1);
    outer->addLayout(right, 1);
    return c;
}
