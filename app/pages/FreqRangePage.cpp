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
    QGroupBox* g = MakeGroup(page, c, freq::ParamsBox);
    auto* grid = MakeGrid(g);
    const int row = AddSpinRows(grid, c, freq::ParamsRows);
    MakeTextRows(g, c, freq::ParamsChecks);
    MakeTextRows(g, c, freq::ParamsButtons);
    grid->addWidget(c.FMeasTypeChck, row, 0, 1, 4);
    grid->addWidget(c.GetFParamsBtn, 0, 3);
    grid->addWidget(c.SetFParamsBtn, 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* ValueGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, c, freq::ValueBox);
    auto* grid = MakeGrid(g);
    int row = 0;
    for (const ShownRow<FreqRangePage>& s : freq::ValueRows)
        AddRow(grid, row++, c.*s.control = MakeLabel(g, s.name, s.shown), s.caption);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ActionsGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, c, freq::MeasureBox);
    auto* grid = MakeGrid(g);
    MakeTextRows(g, c, freq::MeasureButtons);
    grid->addLayout(MakeRow({c.FreqStartBtn, c.Button1}), 0, 0);
    grid->addWidget(c.SweepBtn, 1, 0);
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
