#pragma once
class QWidget;

// The plot's width at design; the page gives it the full height.
inline constexpr int kPreviewPlotWidth = 433;

// Fills the page "Data Preview" (PrewSh): the plot `pb` on the left (named "PB" when it has
// no name yet; an empty placeholder is made when `pb` is null), and on the right the groups
// " Current measure: " (GroupBox10) and " Board to draw: " (GroupBox18) with PwBrdEd, then the
// button "Trend..." (TrendBtn) that opens the trend view.
void BuildDataPreviewPage(QWidget* page, QWidget* pb);
