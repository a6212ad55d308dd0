#include "app/features/TrendController.h"

#include <QLabel>
#include <QPushButton>

#include "app/features/TrendWindow.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "buffer/RecordStream.h"
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

TrendController::TrendController(const DataPreviewPage& page, PreviewPlot* plot, RecordStream& pool,
                                 const FormatSettings& fs, QWidget* owner)
    : QObject(owner), owner_(owner), page_(page), plot_(plot), pool_(pool), fs_(fs) {
    plot_->SetPool(&pool_);
    plot_->SetTextOutputs([this](const QString& t) { page_.ChannelDwTx->setText(t); },
                          [this](const QString& t) { page_.BoardDwTx->setText(t); });
    connect(page_.PwBrdEd, &SpinEdit::changed, this,
            [this] { Guarded([this] { PwBrdEdChange(); }); });
    connect(page_.TrendBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { TrendBtnClick(); }); });
    connect(plot_, &PreviewPlot::channelDoubleClicked, this,
            [this](int channel) { Guarded([this, channel] { OpenTrend(Board(), channel + 1); }); });
}

int TrendController::Board() const {
    return static_cast<int>(Round(page_.PwBrdEd->Value()));
}

void TrendController::PwBrdEdChange() {
    plot_->SetBoard(Board());
}

void TrendController::TrendBtnClick() {
    const int board = Board();
    OpenTrend(board, NewestChannel(pool_, board - 1) + 1);
}

void TrendController::OpenTrend(int board, int channel) {
    auto* window = new TrendWindow(pool_, board, channel, fs_, owner_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->activateWindow();
}
