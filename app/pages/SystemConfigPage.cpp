#include "app/pages/SystemConfigPage.h"

#include "app/pages/PageParts.h"
#include "widgets/SpinEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace pages;

namespace {

// The "Get" and "Set" buttons of a group's setting, side by side.
QHBoxLayout* GetSetRow(QWidget* g, const QString& setting, QPushButton*& get, QPushButton*& set) {
    get = MakeButton(g, "Get" + setting + "Btn", "Get");
    set = MakeButton(g, "Set" + setting + "Btn", "Set");
    return MakeRow({get, set});
}

QGroupBox* ClockGroup(QWidget* page, SystemConfigPage& c) {
    QGroupBox* g = MakeGroup(page, "DateTimeBox", " Date time: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, c.ClockEd = MakeEdit(g, "ClockEd", "???"), "Device time:");
    grid->addWidget(c.SynchronizeBtn = MakeButton(g, "SynchronizeBtn", "Local"), 0, 2);
    grid->addLayout(GetSetRow(g, "Time", c.GetTimeBtn, c.SetTimeBtn), 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* NetGroup(QWidget* page, SystemConfigPage& c) {
    QGroupBox* g = MakeGroup(page, "GprsNetBox", " GPRS settings: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, c.APNEd = MakeEdit(g, "APNEd", "???"), "APN:");
    AddRow(grid, 1, c.ServIPEd = MakeEdit(g, "ServIPEd", "???"), "Server IP:");
    grid->addLayout(GetSetRow(g, "GPRSnet", c.GetGPRSnetBtn, c.SetGPRSnetBtn), 2, 1);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ReportGroup(QWidget* page, SystemConfigPage& c) {
    QGroupBox* g = MakeGroup(page, "GprsReportBox", " GPRS report settings: ");
    auto* grid = MakeGrid(g);
    // "Send report every day at: [hour] h [minute] min"
    auto* at = new QHBoxLayout;
    at->setSpacing(6);
    at->addWidget(c.RepHourEd = MakeSpin(g, "RepHourEd", SpinValue(), 0));
    at->addWidget(MakeLabel(g, "RepHourEdUnit", "h"));
    at->addWidget(c.RepMinEd = MakeSpin(g, "RepMinEd", SpinValue(), 0));
    at->addWidget(MakeLabel(g, "RepMinEdUnit", "min"));
    at->addStretch(1);
    grid->addWidget(MakeLabel(g, "RepHourEdCaption", "Send report every day at:"), 0, 0);
    grid->addLayout(at, 0, 1, 1, 2);
    AddRow(grid, 1, c.RetryRepEd = MakeSpin(g, "RetryRepEd", SpinValue(), 0),
           "Number of retries:", "times");
    grid->addLayout(GetSetRow(g, "GPRSrep", c.GetGPRSrepBtn, c.SetGPRSrepBtn), 2, 1, 1, 2);
    c.GPRSforceBtn = MakeButton(g, "GPRSforceBtn", "Force GPRS report now");
    grid->addLayout(MakeRow({c.GPRSforceBtn}), 3, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    return g;
}

} // namespace

SystemConfigPage BuildSystemConfigPage(QWidget* page) {
    SystemConfigPage c;
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addWidget(ClockGroup(page, c));
    column->addWidget(NetGroup(page, c));
    column->addWidget(ReportGroup(page, c));
    column->addStretch(1);
    outer->addLayout(column, 3);
    outer->addStretch(2);
    return c;
}
