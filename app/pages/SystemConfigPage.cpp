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
QHBoxLayout* GetSetRow(QWidget* g, const QString& setting) {
    return MakeRow({MakeButton(g, "Get" + setting + "Btn", "Get"),
                    MakeButton(g, "Set" + setting + "Btn", "Set")});
}

QGroupBox* ClockGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "DateTimeBox", " Date time: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, MakeEdit(g, "ClockEd", "???"), "Device time:");
    grid->addWidget(MakeButton(g, "SynchronizeBtn", "Local"), 0, 2);
    grid->addLayout(GetSetRow(g, "Time"), 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* NetGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "GprsNetBox", " GPRS settings: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, MakeEdit(g, "APNEd", "???"), "APN:");
    AddRow(grid, 1, MakeEdit(g, "ServIPEd", "???"), "Server IP:");
    grid->addLayout(GetSetRow(g, "GPRSnet"), 2, 1);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ReportGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "GprsReportBox", " GPRS report settings: ");
    auto* grid = MakeGrid(g);
    // "Send report every day at: [hour] h [minute] min"
    auto* at = new QHBoxLayout;
    at->setSpacing(6);
    at->addWidget(MakeSpin(g, "RepHourEd", SpinValue(), 0));
    at->addWidget(MakeLabel(g, "RepHourEdUnit", "h"));
    at->addWidget(MakeSpin(g, "RepMinEd", SpinValue(), 0));
    at->addWidget(MakeLabel(g, "RepMinEdUnit", "min"));
    at->addStretch(1);
    grid->addWidget(MakeLabel(g, "RepHourEdCaption", "Send report every day at:"), 0, 0);
    grid->addLayout(at, 0, 1, 1, 2);
    AddRow(grid, 1, MakeSpin(g, "RetryRepEd", SpinValue(), 0), "Number of retries:", "times");
    grid->addLayout(GetSetRow(g, "GPRSrep"), 2, 1, 1, 2);
    grid->addLayout(MakeRow({MakeButton(g, "GPRSforceBtn", "Force GPRS report now")}), 3, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    return g;
}

} // namespace

void BuildSystemConfigPage(QWidget* page) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addWidget(ClockGroup(page));
    column->addWidget(NetGroup(page));
    column->addWidget(ReportGroup(page));
    column->addStretch(1);
    outer->addLayout(column, 3);
    outer->addStretch(2);
}
