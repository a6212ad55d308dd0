#pragma once
// The "Data Preview" page and the trend view, owned by their controller rather than the main
// window: the preview plot draws the buffer's items of the board PwBrdEd names, and "Trend..."
// or a double click on one of the plot's strips opens a trend window on the buffer.
#include <QObject>

#include "app/pages/DataPreviewPage.h"
#include "base/FormatSettings.h"
#include "widgets/PreviewPlot.h"

class QWidget;
class RecordStream;

class TrendController : public QObject {
public:
    // Follows the page's controls (TrendBtn, PwBrdEd) and the strips of `plot`, which shows
    // `pool` with the page's labels; the windows plot `pool` and open above `owner`, the main
    // window, which owns this controller and outlives the windows' pool.
    TrendController(const DataPreviewPage& page, PreviewPlot* plot, RecordStream& pool,
                    const FormatSettings& fs, QWidget* owner);

private:
    void PwBrdEdChange();
    void TrendBtnClick();
    // A window on the board and channel (1-based) that follows the buffer.
    void OpenTrend(int board, int channel);
    int Board() const;

    QWidget* owner_;
    DataPreviewPage page_;
    PreviewPlot* plot_;
    RecordStream& pool_;
    FormatSettings fs_;
};
