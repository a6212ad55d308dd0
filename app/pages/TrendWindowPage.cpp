#include "app/pages/TrendWindowPage.h"

#include "app/pages/TrendWindowControls.h"
#include "widgets/SpinEdit.h"
#include "widgets/TrendPlot.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace pages;

TrendWindowPage BuildTrendWindowPage(QWidget* window) {
    TrendWindowPage c;
    window->setObjectName("FTrend");
    MakeSpins(window, c, trend::SourceRows);
    MakeTextRows(window, c, trend::Checks);
    MakeTextRows(window, c, trend::Buttons);
    MakeTextRows(window, c, trend::Labels);
    c.TrendHoverTx->setTextInteractionFlags(Qt::TextSelectableByMouse);
    c.TrendHintTx->setEnabled(false);
    c.TrendPB = new TrendPlot(window);
    c.TrendPB->setObjectName("TrendPB");

    auto* top = new QHBoxLayout;
    for (const SpinRow<TrendWindowPage>& s : trend::SourceRows) {
        top->addWidget(MakeLabel(window, s.captionName, s.caption));
        top->addWidget(c.*s.control);
        top->addSpacing(8);
    }
    top->addWidget(c.TrendLogChck);
    top->addWidget(c.TrendResetBtn);
    top->addWidget(c.TrendSaveBtn);
    top->addStretch(1);
    top->addWidget(c.TrendItemsTx);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(c.TrendHoverTx, 1);
    bottom->addWidget(c.TrendHintTx);
    auto* layout = new QVBoxLayout(window);
    layout->addLayout(top);
    layout->addWidget(c.TrendPB, 1);
    layout->addLayout(bottom);
    return c;
}
