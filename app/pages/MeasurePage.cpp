#include "app/pages/MeasurePage.h"

#include "app/pages/Looks.h"
#include "app/pages/MeasureControls.h"
#include "app/pages/PageParts.h"
#include "widgets/RadioGroup.h"
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

QGroupBox* VersionGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, c, measure::VersionBox);
    auto* grid = MakeGrid(g);
    MakeTextRows(g, c, measure::VersionLabels);
    MakeTextRows(g, c, measure::VersionButtons);
    looks::SetTextColor(c.VersionTx, looks::kGreen);
    looks::SetBold(c.VersionTx, 12);
    grid->addWidget(c.VersionTx, 0, 0);
    grid->addWidget(c.VersionInfoBtn, 0, 1);
    grid->setColumnStretch(0, 1);
    return g;
}

// Get and Set beside the first two rows of a settings group.
void PlaceGetSet(QGridLayout* grid, QPushButton* get, QPushButton* set) {
    grid->addWidget(get, 0, 3);
    grid->addWidget(set, 1, 3);
    grid->setColumnStretch(2, 1);
}

QGroupBox* PeriodGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, c, measure::PeriodBox);
    auto* grid = MakeGrid(g);
    AddSpinRows(grid, c, measure::PeriodRows);
    MakeTextRows(g, c, measure::PeriodButtons);
    PlaceGetSet(grid, c.GetPeriodBtn, c.SetPeriodBtn);
    return g;
}

QGroupBox* ParamsGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, c, measure::ParamsBox);
    auto* grid = MakeGrid(g);
    const int row = AddSpinRows(grid, c, measure::ParamsRows);
    MakeTextRows(g, c, measure::ParamsChecks);
    MakeTextRows(g, c, measure::ParamsButtons);
    grid->addWidget(c.MeasTypeChck, row, 0, 1, 4);
    PlaceGetSet(grid, c.GetParamsBtn, c.SetParamsBtn);
    return g;
}

QGroupBox* ActionsGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, c, measure::MeasureBox);
    auto* grid = MakeGrid(g);
    MakeTextRows(g, c, measure::MeasureButtons);
    grid->addLayout(MakeRow({c.EnableBtn, c.DisableBtn, c.BitBtn1}), 0, 0);
    return g;
}

QGroupBox* ElectrodesGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, c, measure::ElectrodesBox);
    auto* column = new QVBoxLayout(g);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(4);
    column->addWidget(MakeRadio(g, c, measure::BoardRadio));

    QGroupBox* channels = MakeGroup(g, c, measure::ChannelFrame);
    auto* boxes = MakeGrid(channels);
    int k = 0;
    for (const measure::ChannelBox& b : measure::ChannelBoxes) {
        QCheckBox* box = MakeCheck(channels, b.name, b.text);
        boxes->addWidget(box, k % 4, k / 4);
        c.ChSelChck[static_cast<size_t>(k++)] = box;
    }
    column->addWidget(channels);
    MakeTextRows(g, c, measure::ElectrodesButtons);
    column->addLayout(
        MakeRow({c.ClearSelectionBtn, c.SetSelectionBtn, c.GetMaskBtn, c.SetMaskBtn}));
    return g;
}

// A caption label and the label it names, at (row, column) and (row, column + 1).
void AddShown(QGridLayout* grid, MeasurePage& c, const ShownRow<MeasurePage>& s, int row,
              int column, int columnSpan) {
    QWidget* g = grid->parentWidget();
    grid->addWidget(MakeLabel(g, CaptionName(s), s.caption), row, column);
    grid->addWidget(c.*s.control = MakeLabel(g, s.name, s.shown), row, column + 1, 1, columnSpan);
}

QGroupBox* ValueGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, c, measure::ValueBox);
    auto* grid = MakeGrid(g);
    int k = 0;
    for (const ShownRow<MeasurePage>& s : measure::ValueRows) {
        AddShown(grid, c, s, k % 3, k / 3 * 2, 1);
        ++k;
    }
    for (const ShownRow<MeasurePage>& s : measure::TimeRows)
        AddShown(grid, c, s, 3, 0, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return g;
}

} // namespace

MeasurePage BuildMeasurePage(QWidget* page) {
    MeasurePage c;
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(VersionGroup(page, c));
    left->addWidget(PeriodGroup(page, c));
    left->addWidget(ParamsGroup(page, c));
    left->addWidget(ActionsGroup(page, c));
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(ElectrodesGroup(page, c));
    right->addWidget(ValueGroup(page, c));
    right->addStretch(1);

    outer->addLayout(left, 1);
    outer->addLayout(right, 1);
    return c;
}
