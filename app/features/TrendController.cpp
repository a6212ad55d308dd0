// The trend view: "Trend..." on the "Data Preview" page and a double click on one of its strips
// open a trend window on the buffer.
#include <QPushButton>

#include "app/ImpixMain.h"
#include "app/features/TrendWindow.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "widgets/PreviewPlot.h"
#include "widgets/SpinEdit.h"

namespace {
// The channel (0-based) of the newest item of a board (0-based) in the pool; 0 when it has none.
int NewestChannel(const RecordStream& pool, int board) {
    for (int64_t k = pool.Count() - 1; k >= 0; --k) {
        const TMeasRecord rec = pool.At(k);
        if (rec.Board == board && rec.Channel >= 0 && rec.Channel < 16)
            return rec.Channel;
    }
    return 0;
}
} // namespace

void TFImpixMain::ConnectTrendHandlers() {
    OnClick(dataPreview_.TrendBtn, [this] { TrendBtnClick(); });
    connect(plot_, &PreviewPlot::channelDoubleClicked, this, [this](int channel) {
        Guarded([this, channel] {
            OpenTrend(static_cast<int>(Round(dataPreview_.PwBrdEd->Value())), channel + 1);
        });
    });
}

void TFImpixMain::TrendBtnClick() {
    const int board = static_cast<int>(Round(dataPreview_.PwBrdEd->Value()));
    OpenTrend(board, NewestChannel(Pool, board - 1) + 1);
}

void TFImpixMain::OpenTrend(int board, int channel) {
    auto* window = new TrendWindow(Pool, board, channel, format_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->activateWindow();
}
