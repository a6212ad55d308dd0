#include "app/pages/FleetWindowPage.h"

#include "app/pages/FleetWindowControls.h"
#include "app/pages/Looks.h"
#include "widgets/RadioGroup.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

using namespace pages;

namespace {

QTableView* MakeTable(QWidget* parent, const QString& name, QAbstractItemModel* model) {
    auto* table = new QTableView(parent);
    table->setObjectName(name);
    table->setModel(model);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setWordWrap(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QDateTimeEdit* MakeDateTime(QWidget* parent, const QString& name, const QDateTime& at) {
    auto* edit = new QDateTimeEdit(at, parent);
    edit->setObjectName(name);
    edit->setDisplayFormat("yyyy-MM-dd HH:mm");
    return edit;
}

QLabel* MakeCaption(QWidget* parent, const fleet::Caption& c) {
    return MakeLabel(parent, c.name, c.text);
}

} // namespace

FleetWindowPage BuildFleetWindowPage(QWidget* window, const QString& conninfo,
                                     QAbstractItemModel* loggers, QAbstractItemModel* unknown) {
    FleetWindowPage c;
    window->setObjectName("FFleet");
    window->setWindowTitle(fleet::Title);

    c.FleetDbEd = MakeEdit(window, "FleetDbEd", conninfo);
    c.FleetDbEd->setPlaceholderText("host=... dbname=... user=... (a password goes in ~/.pgpass)");
    MakeTextRows(window, c, fleet::ConnectButtons);
    MakeTextRows(window, c, fleet::StateLabels);
    looks::SetBold(c.FleetLateTx);

    c.FleetLst = MakeTable(window, "FleetLst", loggers);
    c.FleetLst->sortByColumn(0, Qt::AscendingOrder);
    // Fixed widths: measuring every cell of ten thousand loggers would cost each refresh.
    for (const auto& [column, width] : {std::pair{0, 130}, {1, 110}, {2, 240}, {3, 70}, {4, 110}})
        c.FleetLst->setColumnWidth(column, width);
    c.FleetFilterEd = MakeEdit(window, "FleetFilterEd", QString());
    c.FleetFilterEd->setPlaceholderText("Filter");
    c.FleetUnknownLst = MakeTable(window, "FleetUnknownLst", unknown);
    c.FleetUnknownLst->sortByColumn(1, Qt::DescendingOrder);

    auto* loggersPage = new QWidget(window);
    auto* loggersBox = new QVBoxLayout(loggersPage);
    loggersBox->addLayout(MakeRow({c.FleetFilterEd, c.FleetLateTx}));
    loggersBox->addWidget(c.FleetLst, 1);
    c.FleetTabs = new QTabWidget(window);
    c.FleetTabs->setObjectName("FleetTabs");
    c.FleetTabs->addTab(loggersPage, fleet::LoggersTab);
    c.FleetTabs->addTab(c.FleetUnknownLst, fleet::UnknownTab);

    MakeRadio(window, c, fleet::SpanRadio);
    const QDateTime now = QDateTime::currentDateTime();
    c.FleetFromEd = MakeDateTime(window, "FleetFromEd", now.addDays(-1));
    c.FleetToEd = MakeDateTime(window, "FleetToEd", now);
    MakeTextRows(window, c, fleet::LoadButtons);
    c.FleetCancelBtn->setEnabled(false);
    c.FleetLoadBar = new QProgressBar(window);
    c.FleetLoadBar->setObjectName("FleetLoadBar");
    c.FleetLoadBar->setRange(0, 1);
    c.FleetLoadBar->setValue(0);

    auto* outer = new QVBoxLayout(window);
    auto* dbRow = new QHBoxLayout;
    dbRow->addWidget(MakeCaption(window, fleet::DbCaption));
    dbRow->addWidget(c.FleetDbEd, 1);
    dbRow->addWidget(c.FleetConnectBtn);
    outer->addLayout(dbRow);
    outer->addWidget(c.FleetStateTx);
    outer->addWidget(c.FleetTabs, 1);
    outer->addWidget(c.FleetSpanGrp);
    auto* loadRow = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{
             MakeCaption(window, fleet::FromCaption), c.FleetFromEd,
             MakeCaption(window, fleet::ToCaption), c.FleetToEd, c.FleetLoadBtn})
        loadRow->addWidget(w);
    loadRow->addWidget(c.FleetLoadBar, 1);
    loadRow->addWidget(c.FleetCancelBtn);
    outer->addLayout(loadRow);
    return c;
}
