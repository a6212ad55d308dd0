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

QGroupBox* ParamsGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "FreqParamsBox", " Measure parameters: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, MakeSpin(g, "BegFreqEd", SpinValue::Integer(100, 20000), 100),
           "Begin Frequency:", "Hz");
    AddRow(grid, 1, MakeSpin(g, "EndFreqEd", SpinValue::Integer(100, 20000), 100),
           "End Frequency:", "Hz");
    AddRow(grid, 2, MakeSpin(g, "FreqMultEd", SpinValue::Fraction(1.1, 10), 2.0),
           "Step multiplier:");
    AddRow(grid, 3, MakeSpin(g, "FreqVoltageEd", SpinValue::Fraction(0.1, 5), 0.1),
           "Voltage:", "V");
    AddRow(grid, 4, MakeSpin(g, "FRepEd", SpinValue::Integer(1, 255), 1), "Repeat:", "times");
    AddRow(grid, 5, MakeSpin(g, "FBrdEd", SpinValue::Integer(1, 8), 1), "Board:");
    AddRow(grid, 6, MakeSpin(g, "FChnlEd", SpinValue::Integer(1, 16), 1), "Channel");
    grid->addWidget(MakeCheck(g, "FMeasTypeChck", "Two electrode system"), 7, 0, 1, 4);
    grid->addWidget(MakeButton(g, "GetFParamsBtn", "Get"), 0, 3);
    grid->addWidget(MakeButton(g, "SetFParamsBtn", "Set"), 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* ValueGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "FreqValueBox", " Measured Value: ");
    auto* grid = MakeGrid(g);
    const char* const shown[][2] = {
        {"FFreqTx", "Frequency:"}, {"FRangeTx", "Range:"}, {"FRxTx", "Rx:"}, {"FXxTx", "Xx:"}};
    int row = 0;
    for (const auto& s : shown)
        AddRow(grid, row++, MakeLabel(g, s[0], "X"), s[1]);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ActionsGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "FreqMeasureBox", " Measure: ");
    auto* grid = MakeGrid(g);
    grid->addLayout(
        MakeRow({MakeButton(g, "FreqStartBtn", "Start"), MakeButton(g, "Button1", "Stop")}), 0, 0);
    // Every sweep is kept; this opens the window that shows them.
    grid->addWidget(MakeButton(g, "SweepBtn", "Sweeps..."), 1, 0);
    return g;
}

} // namespace

void BuildFreqRangePage(QWidget* page) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    auto* left = new QVBoxLayout;
    left->addWidget(ParamsGroup(page));
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(ValueGroup(page));
    right->addWidget(ActionsGroup(page));
    right->addStretch(1);

    outer->addLayout(left, 1);
    outer->addLayout(right, 1);
}
