#pragma once
class QLabel;
class QPushButton;
class QWidget;
class SpinEdit;

// The plot's width at design; the page gives it the full height.
inline constexpr int kPreviewPlotWidth = 433;

// The controls of the page "Data Preview" that the window works on, named as the controls are.
struct DataPreviewPage {
    QLabel* ChannelDwTx = nullptr;
    QLabel* BoardDwTx = nullptr;
    SpinEdit* PwBrdEd = nullptr;
    QPushButton* TrendBtn = nullptr;
};

// Fills the page "Data Preview" (PrewSh): the plot `pb` on the left (named "PB" when it has
// no name yet; an empty placeholder is made when `pb` is null), and on the right the groups
// " Current measure: " (GroupBox10) and " Board to draw: " (GroupBox18) with PwBrdEd, then the
// button "Trend..." (TrendBtn) that opens the trend view.
DataPreviewPage BuildDataPreviewPage(QWidget* page, QWidget* pb);
