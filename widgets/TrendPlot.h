#pragma once
// The trend view's plot: Rx and Xx of one channel of the buffer against the logger time, two
// plots stacked on one time axis, each with its own value axis (linear or logarithmic). The
// series follows the buffer as items arrive and empties when it is cleared. Wheel and rubber
// band zoom (left button), pan with the right or middle button (or Shift and the left one),
// Escape, Home or a double click for the whole series again; the pointer shows the nearest item.
//
// The picture is drawn into a backing image only when the series, the view or the size changed;
// the hover mark and the rubber band are drawn over it.
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "base/FormatSettings.h"
#include "buffer/RecordStream.h"
#include "plot/TrendChannels.h"
#include "plot/TrendSeries.h"
#include "plot/TrendTrace.h"
#include "plot/TrendView.h"

class QPainter;

class TrendPlot : public QWidget, public RecordStreamListener {
    Q_OBJECT
public:
    explicit TrendPlot(QWidget* parent = nullptr);
    ~TrendPlot() override;

    // The buffer to plot and follow; null plots nothing. A buffer of BackgroundFillItems or
    // more is read on a thread of its own (ten million items took half a second): the plot
    // shows nothing until its channels come, and what arrives meanwhile follows them.
    void SetPool(RecordStream* pool);
    static constexpr int64_t BackgroundFillItems = 1 << 17;
    // The buffer's channels are still being read.
    bool Filling() const { return filling_; }
    // Board and channel, 1-based as shown; the channel's series (kept for every channel as items
    // arrive) is shown whole.
    void SetSource(int board, int channel);
    int Board() const { return series_->Board() + 1; }
    int Channel() const { return series_->Channel() + 1; }
    void SetScale(TrendScale scale);
    TrendScale Scale() const { return scale_; }
    void SetFormatSettings(const FormatSettings& fs);
    // The whole series again, value ranges automatic.
    void ResetZoom();

    const TrendSeries& Series() const { return *series_; }
    const TrendView& View() const { return view_; }

    // Everything a picture of a given size shows: where each plot draws and on which axes.
    struct Frame {
        QSize size;
        std::array<QRect, TrendView::Plots> areas;
        TimeAxis time;
        std::array<ValueAxis, TrendView::Plots> values;
        std::array<TrendTrace, TrendView::Plots> traces;
    };
    // The frame of the picture on screen, brought up to date first.
    const Frame& CurrentFrame();
    // The picture on screen without the hover mark and the rubber band.
    const QImage& Picture();
    // Draws the picture at that size onto any paint device (a PNG image, an SVG generator).
    void Render(QPainter& painter, QSize size);

    // The item nearest to the pointer in the plot ("" when none), as HoverText shows it.
    QString HoverText() const { return hoverText_; }

    // The buffer's notifications.
    void RecordAppended(const TMeasRecord& rec) override;
    void RecordsAppended(int64_t first, int64_t count) override;
    void StreamCleared() override;

    QSize sizeHint() const override { return {900, 560}; }
    QSize minimumSizeHint() const override { return {320, 240}; }

signals:
    // The series changed (its item count, after a paint or a change of source).
    void seriesChanged();
    // The item under the pointer changed; text as HoverText.
    void hoverChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The channels of the pool's items so far, read on the filler thread.
    void StartFill(const RecordStream& pool);
    // They came: the items of the pool from `upTo` on are added here.
    void FillEnded(const std::shared_ptr<TrendChannels>& filled, int64_t upTo, int fill);
    // A fill under way is given up.
    void StopFill();
    // Puts late items in order and tells the view where the series runs now.
    void Sync();
    Frame MakeFrame(QSize size) const;
    void Draw(QPainter& painter, const Frame& frame) const;
    void Changed(); // the picture must be drawn again
    // New items: the picture is drawn again, but not more often than every DataRedrawMs.
    void DataChanged();
    // Which plot holds the point, or -1.
    int PlotAt(QPoint at) const;
    void Hover(std::optional<QPoint> at);
    void ZoomAtPixel(double x, double factor);

    TrendChannels channels_;
    std::thread filler_;
    std::atomic<bool> stopFill_{false};
    bool filling_ = false;
    int fills_ = 0; // fills started: the result of one given up is told apart
    TrendSeries* series_ = &channels_.Of(0, 0); // the channel shown
    TrendView view_;
    TrendScale scale_ = TrendScale::Linear;
    FormatSettings fs_;
    bool synced_ = true;
    bool dirty_ = true;
    bool updateQueued_ = false;
    QElapsedTimer lastDrawn_;
    QTimer dataRedraw_;
    QImage backing_;
    Frame frame_;

    enum class Drag { None, Band, Pan };
    Drag drag_ = Drag::None;
    int dragPlot_ = -1;
    QPoint dragFrom_;
    QPoint dragTo_;
    double panStart_ = 0;
    double panEnd_ = 0;
    int64_t hoverItem_ = -1;
    QString hoverText_;
};
