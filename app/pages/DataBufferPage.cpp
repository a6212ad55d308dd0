#include "app/pages/DataBufferPage.h"

#include "app/pages/Looks.h"
#include "app/pages/PageParts.h"
#include "widgets/SpinEdit.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace pages;

namespace {

constexpr int kRowHeight = 20;

QGroupBox* SaveGroup(QWidget* page, DataBufferPage& c) {
    QGroupBox* g = MakeGroup(page, "GroupBox19", " Save buffer: ");
    auto* row = new QHBoxLayout(g);
    row->setContentsMargins(6, 4, 6, 6);
    row->setSpacing(6);
    row->addWidget(MakeLabel(g, "Label48", "From item "));
    row->addWidget(c.SaveBufFromEd = MakeSpin(g, "SaveBufFromEd", SpinValue(), 0));
    row->addWidget(MakeLabel(g, "Label50", "To item "));
    row->addWidget(c.SaveBufTillEd = MakeSpin(g, "SaveBufTillEd", SpinValue(), 0));
    row->addSpacing(12);
    row->addWidget(c.SaveBufBtn = MakeButton(g, "SaveBufBtn", "Save"));
    row->addWidget(c.SaveBufAllBtn = MakeButton(g, "SaveBufAllBtn", "Save All"));
    row->addSpacing(12);
    row->addWidget(c.ClearBufBtn = MakeButton(g, "ClearBufBtn", "Clear"));
    row->addStretch(1);
    return g;
}

QTableView* Grid(QWidget* page) {
    auto* grid = new QTableView(page);
    grid->setObjectName("BufGrid");
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setShowGrid(true);
    grid->setGridStyle(Qt::SolidLine);
    // The header row is the model's; the grid has no row titles of its own.
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setMinimumSectionSize(kRowHeight / 2);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return grid;
}

} // namespace

DataBufferPage BuildDataBufferPage(QWidget* page) {
    DataBufferPage c;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    column->addWidget(SaveGroup(page, c));

    QLabel* count = c.PoolItemsTx = MakeLabel(page, "PoolItemsTx", "0");
    looks::SetTextColor(count, looks::kBlue);
    looks::SetBold(count);
    column->addLayout(MakeRow({MakeLabel(page, "Label46", "Items in buffer - "), count}));

    // The measurement archive beside the buffer: where it writes (or why it cannot), and its
    // sessions.
    QLabel* archive = c.ArchiveTx = MakeLabel(page, "ArchiveTx", "Archive: off");
    archive->setTextInteractionFlags(Qt::TextSelectableByMouse);
    archive->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* archiveRow = new QHBoxLayout;
    archiveRow->setSpacing(6);
    archiveRow->addWidget(archive, 1);
    archiveRow->addWidget(c.HistoryBtn = MakeButton(page, "HistoryBtn", "History..."));
    column->addLayout(archiveRow);

    column->addWidget(c.BufGrid = Grid(page), 1);
    return c;
}
