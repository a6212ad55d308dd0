#include "app/pages/DownloadPage.h"

#include "app/pages/PageParts.h"
#include "widgets/SpinEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace pages;

namespace {

QGroupBox* DownloadGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "DownloadBox", " Data download: ");
    auto* grid = MakeGrid(g);
    AddRow(grid, 0, MakeSpin(g, "FromValEd", SpinValue(), 0), "From Value:");
    AddRow(grid, 1, MakeSpin(g, "AmountValEd", SpinValue(), 0), "Amount:");
    grid->addWidget(MakeLabel(g, "AmountTx", "X"), 1, 2);
    grid->addLayout(MakeRow({MakeButton(g, "DwnBtn", "Download into buffer")}), 2, 0, 1, 3);
    // Progress of the download, then the counters that did not arrive and the way to get them.
    grid->addWidget(MakeLabel(g, "DwnProgressTx", ""), 3, 0, 1, 3);
    QLabel* missing = MakeLabel(g, "DwnMissingTx", "");
    missing->setWordWrap(true);
    grid->addWidget(missing, 4, 0, 1, 3);
    grid->addLayout(MakeRow({MakeButton(g, "DwnMissingBtn", "Download missing")}), 5, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* SizeGroup(QWidget* page) {
    QGroupBox* g = MakeGroup(page, "DataSizeBox", "Data Size: ");
    auto* grid = MakeGrid(g);
    grid->addWidget(MakeLabel(g, "SizeTx", "X"), 0, 0);
    grid->addWidget(MakeButton(g, "GetSizeBtn", "Get "), 0, 1);
    grid->addLayout(MakeRow({MakeButton(g, "FormatBtn", "Clear internal memory")}), 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    return g;
}

} // namespace

void BuildDownloadPage(QWidget* page) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addWidget(DownloadGroup(page));
    column->addWidget(SizeGroup(page));
    column->addStretch(1);
    outer->addLayout(column, 1);
    outer->addStretch(1);
}
