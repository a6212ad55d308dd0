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
    QGroupBox* g = MakeGroup(page, c, download::DownloadBox);
    auto* grid = MakeGrid(g);
    AddSpinRows(grid, c, download::DownloadRows);
    MakeTextRows(g, c, download::AmountLabels);
    MakeTextRows(g, c, download::DownloadButtons);
    MakeTextRows(g, c, download::ProgressLabels);
    MakeTextRows(g, c, download::MissingButtons);
    grid->addWidget(c.AmountTx, 1, 2);
    grid->addLayout(MakeRow({c.DwnBtn}), 2, 0, 1, 3);
    grid->addWidget(c.DwnProgressTx, 3, 0, 1, 3);
    c.DwnMissingTx->setWordWrap(true);
    grid->addWidget(c.DwnMissingTx, 4, 0, 1, 3);
    grid->addLayout(MakeRow({c.DwnMissingBtn}), 5, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return g;
}

QGroupBox* SizeGroup(QWidget* page, DownloadPage& c) {
    QGroupBox* g = MakeGroup(page, c, download::SizeBox);
    auto* grid = MakeGrid(g);
    MakeTextRows(g, c, download::SizeLabels);
    MakeTextRows(g, c, download::SizeButtons);
    grid->addWidget(c.SizeTx, 0, 0);
    grid->addWidget(c.GetSizeBtn, 0, 1);
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
