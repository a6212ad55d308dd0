#pragma once
// The trend view, owned by its controller rather than the main window: "Trend..." on the
// "Data Preview" page and a double click on one of its strips open a trend window on the buffer.
#include <QObject>

#include "base/FormatSettings.h"
#include "widgets/PreviewPlot.h"

class QAbstractButton;
class QWidget;
class RecordStream;
class SpinEdit;

class TrendController : public QObject {
public:
    // Follows `trendBtn` ("Trend...") and the strips of `plot`, on the board `brdEd` shows
    // (PwBrdEd); the windows plot `pool` and open above `owner`, the main window, which owns
    // this controller and outlives the windows' pool.
    TrendController(QAbstractButton* trendBtn, PreviewPlot* plot, SpinEdit* brdEd,
                    RecordStream& pool, const FormatSettings& fs, QWidget* owner);

private:
    void TrendBtnClick();
    // A window on the board and channel (1-based) that follows the buffer.
    void OpenTrend(int board, int channel);
    int Board() const;

    QWidget* owner_;
    SpinEdit* brdEd_;
    RecordStream& pool_;
    FormatSettings fs_;
};
