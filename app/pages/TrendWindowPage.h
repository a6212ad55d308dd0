#pragma once
class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;
class SpinEdit;
class TrendPlot;

// The controls of the trend window (FTrend), named as the controls are: the board and channel
// to plot, a logarithmic scale, "Reset zoom", "Save image...", the item count, the item under
// the pointer, a hint on zooming, and the trend plot.
struct TrendWindowPage {
    SpinEdit* TrendBrdEd = nullptr;
    SpinEdit* TrendChEd = nullptr;
    QCheckBox* TrendLogChck = nullptr;
    QPushButton* TrendResetBtn = nullptr;
    QPushButton* TrendSaveBtn = nullptr;
    QLabel* TrendItemsTx = nullptr;
    QLabel* TrendHoverTx = nullptr;
    QLabel* TrendHintTx = nullptr;
    TrendPlot* TrendPB = nullptr;
};

// Names the window FTrend and lays out its controls: the source and the buttons above the plot,
// the item under the pointer and the hint below it.
TrendWindowPage BuildTrendWindowPage(QWidget* window);
