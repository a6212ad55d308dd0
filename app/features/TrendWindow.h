#pragma once
// The trend window "Trend - Board b, Channel c": the trend plot of one channel of the buffer,
// with the board and channel to plot (TrendBrdEd, TrendChEd), a logarithmic scale (TrendLogChck),
// "Reset zoom" (TrendResetBtn), "Save image..." (TrendSaveBtn), the item count (TrendItemsTx) and
// the item under the pointer (TrendHoverTx). The window's control name is FTrend, the plot's
// TrendPB.
#include <QWidget>

#include "app/pages/TrendWindowPage.h"
#include "base/FormatSettings.h"

class RecordStream;

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own above parent, closed with it; board and channel 1-based.
    TrendWindow(RecordStream& pool, int board, int channel, const FormatSettings& fs,
                QWidget* parent = nullptr);

    TrendPlot* Plot() const { return view_.TrendPB; }
    // Shows that board and channel (clamped to 1..8 and 1..16).
    void ShowSource(int board, int channel);

private:
    void SourceChanged();
    void ShowCount();
    void SaveImage();

    FormatSettings fs_;
    TrendWindowPage view_;
};
