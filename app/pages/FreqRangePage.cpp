#include "app/pages/FreqRangePage.h"

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
    QGroupBox* g = MakeGroup(page, "FreqParamsBox", " Measure parameters: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, c.BegFreqEd = MakeSpin(g, "BegFreqEd", SpinValue::Integer(100, 20000), 100),
           "Begin Frequency:", "Hz");
    AddRow(grid, 1, c.EndFreqEd = MakeSpin(g, "EndFreqEd", SpinValue::Integer(100, 20000), 100),
           "End Frequency:", "Hz");
    AddRow(grid, 2, c.FreqMultEd = MakeSpin(g, "FreqMultEd", SpinValue::Fraction(1.1, 10), 2.0),
           "Step multiplier:");
    AddRow(grid, 3,
           c.FreqVoltageEd = MakeSpin(g, "FreqVoltageEd", SpinValue::Fraction(0.1, 5), 0.1),
           "Voltage:", "V");
    AddRow(grid, 4, c.FRepEd = MakeSpin(g, "FRepEd", SpinValue::Integer(1, 255), 1),
           "Repeat:", "times");
    AddRow(grid, 5, c.FBrdEd = MakeSpin(g, "FBrdEd", SpinValue::Integer(1, 8), 1), "Board:");
    AddRow(grid, 6, c.FChnlEd = MakeSpin(g, "FChnlEd", SpinValue::Integer(1, 16), 1), "Channel");
    grid->addWidget(c.FMeasTypeChck = MakeCheck(g, "FMeasTypeChck", "Two electrode system"), 7, 0,
                    1, 4);
    grid->addWidget(c.GetFParamsBtn = MakeButton(g, "GetFParamsBtn", "Get"), 0, 3);
    grid->addWidget(c.SetFParamsBtn = MakeButton(g, "SetFParamsBtn", "Set"), 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* ValueGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, "FreqValueBox", " Measured Value: ");
    auto* grid = MakeGrid(g);
    const struct {
        QLabel*& label;
        const char* name;
        const char* caption;
    } shown[] = {{c.FFreqTx, "FFreqTx", "Frequency:"},
                 {c.FRangeTx, "FRangeTx", "Range:"},
                 {c.FRxTx, "FRxTx", "Rx:"},
                 {c.FXxTx, "FXxTx", "Xx:"}};
    int row = 0;
    for (const auto& s : shown)
        AddRow(grid, row++, s.label = MakeLabel(g, s.name, "X"), s.caption);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ActionsGroup(QWidget* page, FreqRangePage& c) {
    QGroupBox* g = MakeGroup(page, "FreqMeasureBox", " Measure: ");
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
