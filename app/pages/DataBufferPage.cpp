#include "app/pages/DataBufferPage.h"

#include "app/pages/DataBufferControls.h"
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
    QGroupBox* g = MakeGroup(page, c, buffer::SaveBox);
    auto* row = new QHBoxLayout(g);
    row->setContentsMargins(6, 4, 6, 6);
    row->setSpacing(6);
    for (const SpinRow<DataBufferPage>& s : buffer::SaveRows) {
        row->addWidget(MakeLabel(g, s.captionName, s.caption));
        row->addWidget(c.*s.control = MakeSpin(g, s.name, s.rules, s.value));
    }
    MakeTextRows(g, c, buffer::SaveButtons);
    row->addSpacing(12);
    row->addWidget(c.SaveBufBtn);
    row->addWidget(c.SaveBufAllBtn);
    row->addSpacing(12);
    row->addWidget(c.ClearBufBtn);
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

    MakeTextRows(page, c, buffer::CountLabels);
    QLabel* count = c.PoolItemsTx;
    looks::SetTextColor(count, looks::kBlue);
    looks::SetBold(count);
    column->addLayout(MakeRow({MakeLabel(page, "Label46", "Items in buffer - "), count}));

    MakeTextRows(page, c, buffer::ArchiveLabels);
    QLabel* archive = c.ArchiveTx;
    archive->setTextInteractionFlags(Qt::TextSelectableByMouse);
    archive->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* archiveRow = new QHBoxLayout;
    archiveRow->setSpacing(6);
    archiveRow->addWidget(archive, 1);
    MakeTextRows(page, c, buffer::ArchiveButtons);
    archiveRow->addWidget(c.HistoryBtn);
    column->addLayout(archiveRow);

    column->addWidget(c.BufGrid = Grid(page), 1);
    return c;
}
