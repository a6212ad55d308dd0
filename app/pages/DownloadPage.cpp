#include "app/pages/DownloadPage.h"

#include "app/pages/DownloadControls.h"
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

QGroupBox* DownloadGroup(QWidget* page, DownloadPage& c) {
    QGroupBox* g = MakeGroup(page, "DownloadBox", download::DownloadTitle);
    auto* grid = MakeGrid(g);
    AddSpinRows(grid, c, download::DownloadRows);
    grid->addWidget(c.AmountTx = MakeLabel(g, "AmountTx", "X"), 1, 2);
    c.DwnBtn = MakeButton(g, "DwnBtn", "Download into buffer");
    grid->addLayout(MakeRow({c.DwnBtn}), 2, 0, 1, 3);
    // Progress of the download, then the counters that did not arrive and the way to get them.
    grid->addWidget(c.DwnProgressTx = MakeLabel(g, "DwnProgressTx", ""), 3, 0, 1, 3);
    QLabel* missing = c.DwnMissingTx = MakeLabel(g, "DwnMissingTx", "");
    missing->setWordWrap(true);
    grid->addWidget(missing, 4, 0, 1, 3);
    c.DwnMissingBtn = MakeButton(g, "DwnMissingBtn", "Download missing");
    grid->addLayout(MakeRow({c.DwnMissingBtn}), 5, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* SizeGroup(QWidget* page, DownloadPage& c) {
    QGroupBox* g = MakeGroup(page, "DataSizeBox", "Data Size: ");
    auto* grid = MakeGrid(g);
    grid->addWidget(c.SizeTx = MakeLabel(g, "SizeTx", "X"), 0, 0);
    grid->addWidget(c.GetSizeBtn = MakeButton(g, "GetSizeBtn", "Get "), 0, 1);
    c.FormatBtn = MakeButton(g, "FormatBtn", "Clear internal memory");
    grid->addLayout(MakeRow({c.FormatBtn}), 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    return g;
}

} // namespace

DownloadPage BuildDownloadPage(QWidget* page) {
    DownloadPage c;
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addWidget(DownloadGroup(page, c));
    column->addWidget(SizeGroup(page, c));
    column->addStretch(1);
    outer->addLayout(column, 1);
    outer->addStretch(1);
    return c;
}
