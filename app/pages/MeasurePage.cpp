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
    QGroupBox* g = MakeGroup(page, "GroupBox1", " FW Version Info: ");
    auto* grid = MakeGrid(g);
    QLabel* version = c.VersionTx = MakeLabel(g, "VersionTx", "?.?");
    looks::SetTextColor(version, looks::kGreen);
    looks::SetBold(version, 12);
    grid->addWidget(version, 0, 0);
    grid->addWidget(c.VersionInfoBtn = MakeButton(g, "VersionInfoBtn", "Get"), 0, 1);
    grid->setColumnStretch(0, 1);
    return g;
}

// Get and Set beside the first two rows of a settings group.
void AddGetSet(QGridLayout* grid, QPushButton*& get, const QString& getName, QPushButton*& set,
               const QString& setName) {
    QWidget* owner = grid->parentWidget();
    grid->addWidget(get = MakeButton(owner, getName, "Get"), 0, 3);
    grid->addWidget(set = MakeButton(owner, setName, "Set"), 1, 3);
    grid->setColumnStretch(2, 1);
}

QGroupBox* PeriodGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, "MeasPeriodBox", measure::PeriodTitle);
    auto* grid = MakeGrid(g);
    AddSpinRows(grid, c, measure::PeriodRows);
    AddGetSet(grid, c.GetPeriodBtn, "GetPeriodBtn", c.SetPeriodBtn, "SetPeriodBtn");
    return g;
}

QGroupBox* ParamsGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, "MeasParamsBox", measure::ParamsTitle);
    auto* grid = MakeGrid(g);
    const int row = AddSpinRows(grid, c, measure::ParamsRows);
    grid->addWidget(c.MeasTypeChck = MakeCheck(g, "MeasTypeChck", "Two electrode system"), row, 0,
                    1, 4);
    AddGetSet(grid, c.GetParamsBtn, "GetParamsBtn", c.SetParamsBtn, "SetParamsBtn");
    return g;
}

QGroupBox* ActionsGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, "MeasureBox", " Measure: ");
    auto* grid = MakeGrid(g);
    c.EnableBtn = MakeButton(g, "EnableBtn", "Start");
    c.DisableBtn = MakeButton(g, "DisableBtn", "Stop");
    c.BitBtn1 = MakeButton(g, "BitBtn1", "Clear memory");
    grid->addLayout(MakeRow({c.EnableBtn, c.DisableBtn, c.BitBtn1}), 0, 0);
    return g;
}

QGroupBox* ElectrodesGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, "ElectrodesBox", " Electrodes selection: ");
    auto* column = new QVBoxLayout(g);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(4);
    column->addWidget(c.BoardGrp = MakeRadio(g, "BoardGrp", " Board ",
                                             {"1", "2", "3", "4", "5", "6", "7", "8"}, 0, 8));

    QGroupBox* channels = c.ChannelGrp = MakeGroup(g, "ChannelGrp", "Board X ");
    auto* boxes = MakeGrid(channels);
    for (int k = 0; k < 16; ++k) {
        QCheckBox* box = MakeCheck(channels, QStringLiteral("Ch%1SelChck").arg(k + 1),
                                   QStringLiteral("Ch %1").arg(k + 1));
        boxes->addWidget(box, k % 4, k / 4);
        c.ChSelChck[static_cast<size_t>(k)] = box;
    }
    column->addWidget(channels);
    c.ClearSelectionBtn = MakeButton(g, "ClearSelectionBtn", "Clear");
    c.SetSelectionBtn = MakeButton(g, "SetSelectionBtn", "Check All");
    c.GetMaskBtn = MakeButton(g, "GetMaskBtn", "Get");
    c.SetMaskBtn = MakeButton(g, "SetMaskBtn", "Set");
    column->addLayout(
        MakeRow({c.ClearSelectionBtn, c.SetSelectionBtn, c.GetMaskBtn, c.SetMaskBtn}));
    return g;
}

QGroupBox* ValueGroup(QWidget* page, MeasurePage& c) {
    QGroupBox* g = MakeGroup(page, "MeasValueBox", " Measured Value: ");
    auto* grid = MakeGrid(g);
    struct Shown {
        QLabel*& label;
        const char* name;
        const char* caption;
        int row;
        int column;
    };
    // The counter has no caption of its own; it is the "Id" of the buffer table.
    const Shown shown[] = {
        {c.BrdTx, "BrdTx", "Board:", 0, 0},     {c.ChTx, "ChTx", "Channel:", 1, 0},
        {c.RangeTx, "RangeTx", "Range:", 2, 0}, {c.RealTx, "RealTx", "Rx:", 0, 2},
        {c.ImagTx, "ImagTx", "Xx:", 1, 2},      {c.CntTx, "CntTx", "Id:", 2, 2},
    };
    for (const Shown& s : shown) {
        grid->addWidget(MakeLabel(g, QStringLiteral("%1Caption").arg(s.name), s.caption), s.row,
                        s.column);
        grid->addWidget(s.label = MakeLabel(g, s.name, "X"), s.row, s.column + 1);
    }
    grid->addWidget(MakeLabel(g, "TimeLabelCaption", "Date - Time:"), 3, 0);
    grid->addWidget(c.TimeLabel = MakeLabel(g, "TimeLabel", "X"), 3, 1, 1, 3);
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
