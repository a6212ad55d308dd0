#pragma once
// The paint box PB of the "Data Preview" page: the resistance of the buffer's items of one
// board, sixteen strips on a log scale. The picture lives in a backing image: it is drawn in full
// (PBPaint) only when the pool, the board or the size changed, or when showing the page, and is
// extended point by point while items arrive; a paint event only copies it to the screen. It
// hears of new items from the pool and, while it is showing (its page is the active one), draws
// them once per pass of the event loop, all of a pass with one painter, or when the picture is
// asked for; otherwise the next paint draws them.
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "buffer/RecordStream.h"
#include "plot/PlotGeometry.h"

class PreviewPlot : public QWidget, public RecordStreamListener {
    Q_OBJECT
public:
    // Its control name: the page places the plot under it.
    static constexpr const char* ControlName = "PB";

    explicit PreviewPlot(QWidget* parent = nullptr);

    // The measurement buffer to draw and listen to; null draws empty strips.
    void SetPool(RecordStream* pool);
    // PwBrdEdChange: the board (1..8) whose items are drawn; repaints in full.
    void SetBoard(int board);
    int Board() const { return board_; }
    // After items were appended to the pool while the page is active: draws their points one
    // after the other, or repaints in full when a point no longer fits.
    void PlotNewRecords();
    // The pool was emptied or refilled behind the plot's back: the next paint draws it afresh.
    void Invalidate();

    // The pool's notifications: a new item is drawn at the next pass while the plot shows;
    // clearing does not repaint, the next paint shows the empty pool.
    void RecordAppended(const TMeasRecord& rec) override;
    // Many at once are drawn from the pool at the next paint.
    void RecordsAppended(int64_t, int64_t) override { Invalidate(); }
    void StreamCleared() override { Invalidate(); }

    // Where PlotRecord writes the last record's channel and board ("%d", 1-based).
    void SetTextOutputs(std::function<void(const QString&)> channelText,
                        std::function<void(const QString&)> boardText);

    // The picture as the next paint shows it, brought up to date first.
    const QImage& Picture();
    const PlotState& State() const { return state_; }
    // Full paints so far.
    int64_t FullPaints() const { return fullPaints_; }

    QSize sizeHint() const override { return {433, 493}; }

signals:
    // A double click on the strip of channel (0-based) of the board drawn.
    void channelDoubleClicked(int channel);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool Stale() const;
    void Repaint(); // PBPaint into the backing image
    void ShowTexts(int64_t channelNumber, int64_t boardNumber);

    int board_ = 1;
    PlotState state_;
    QImage backing_;
    bool dirty_ = true;
    int64_t shownCount_ = 0; // pool items the picture holds
    bool drawQueued_ = false;
    int64_t fullPaints_ = 0;
    QFont numberFont_;
    QFont labelFont_;
    int labelWidth_ = 0;
    int labelHeight_ = 0;
    std::function<void(const QString&)> channelText_;
    std::function<void(const QString&)> boardText_;
};
