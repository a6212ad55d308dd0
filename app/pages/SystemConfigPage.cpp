#include "app/pages/SystemConfigPage.h"

#include "app/pages/PageParts.h"
#include "app/pages/SystemConfigControls.h"
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

QGroupBox* ClockGroup(QWidget* page, SystemConfigPage& c) {
    QGroupBox* g = MakeGroup(page, c, sysconfig::ClockBox);
    auto* grid = MakeGrid(g);
    AddEditRows(grid, c, sysconfig::ClockEdits);
    MakeTextRows(g, c, sysconfig::ClockButtons);
    grid->addWidget(c.SynchronizeBtn, 0, 2);
    grid->addLayout(MakeRow({c.GetTimeBtn, c.SetTimeBtn}), 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* NetGroup(QWidget* page, SystemConfigPage& c) {
    QGroupBox* g = MakeGroup(page, c, sysconfig::NetBox);
    auto* grid = MakeGrid(g);
    const int row = AddEditRows(grid, c, sysconfig::NetEdits);
    MakeTextRows(g, c, sysconfig::NetButtons);
    grid->addLayout(MakeRow({c.GetGPRSnetBtn, c.SetGPRSnetBtn}), row, 1);
    grid->setColumnStretch(1, 1);
    return g;
}

QGroupBox* ReportGroup(QWidget* page, SystemConfigPage& c) {
    QGroupBox* g = MakeGroup(page, c, sysconfig::ReportBox);
    auto* grid = MakeGrid(g);
    // The report time's spin edits and units on one line, its caption before them.
    auto* at = new QHBoxLayout;
    at->setSpacing(6);
    for (const SpinRow<SystemConfigPage>& s : sysconfig::ReportAtRows) {
        at->addWidget(c.*s.control = MakeSpin(g, s.name, s.rules, s.value));
        at->addWidget(MakeLabel(g, QStringLiteral("%1Unit").arg(s.name), s.unit));
    }
    at->addStretch(1);
    const SpinRow<SystemConfigPage>& first = sysconfig::ReportAtRows[0];
    grid->addWidget(MakeLabel(g, QStringLiteral("%1Caption").arg(first.name), first.caption), 0, 0);
    grid->addLayout(at, 0, 1, 1, 2);
    AddSpinRows(grid, c, sysconfig::ReportRows, 1);
    MakeTextRows(g, c, sysconfig::ReportButtons);
    grid->addLayout(MakeRow({c.GetGPRSrepBtn, c.SetGPRSrepBtn}), 2, 1, 1, 2);
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
