#include "widgets/TrendPlot.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLine>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/EventGuard.h"
#include "base/ThreadPriority.h"
#include "buffer/BufferCellText.h"

namespace {
const QColor Background(255, 255, 255);
const QColor Grid(228, 228, 228);
const QColor Border(150, 150, 150);
const QColor Text(40, 40, 40);
const QColor VoidMark(220, 0, 0);
const QColor HoverMark(255, 140, 0);
const QColor Band(0, 120, 215);
// Rx, then Xx.
const QColor Curve[TrendView::Plots] = {QColor(0, 80, 200), QColor(0, 140, 60)};
const char* const Titles[TrendView::Plots] = {"Rx", "Xx"};

// Per wheel notch (or key press), the stretch shown shrinks to this much of itself.
constexpr double ZoomStep = 0.8;
// A rubber band narrower or lower than this picks no time or no value range.
constexpr int MinBand = 4;
// The item's columns the hover line shows: Item, Id, Time, R, X.
constexpr std::initializer_list<int> HoverColumns = {0, 1, 2, 6, 7};

TrendQuantity QuantityOf(int plot) {
    return plot == 0 ? TrendQuantity::Rx : TrendQuantity::Xx;
}

int Rounded(double v) {
    return static_cast<int>(std::lround(std::clamp(v, -1e8, 1e8)));
}
} // namespace

TrendPlot::TrendPlot(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    dataRedraw_.setSingleShot(true);
    connect(&dataRedraw_, &QTimer::timeout, this, [this] {
        if (dirty_) // not drawn meanwhile for another reason
            Changed();
    });
}

TrendPlot::~TrendPlot() {
    StopFill();
}

void TrendPlot::SetPool(RecordStream* pool) {
    StopFill();
    ListenTo(pool);
    if (pool && pool->Count() >= BackgroundFillItems)
        StartFill(*pool);
    else if (pool)
        channels_.Fill(*pool);
    else
        channels_.Clear();
    SetSource(Board(), Channel());
}

void TrendPlot::StartFill(const RecordStream& pool) {
    channels_.Clear();
    filling_ = true;
    stopFill_ = false;
    // The snapshot shares the buffer's blocks: the buffer may grow or be cleared meanwhile.
    filler_ = std::thread([this, records = pool.Snapshot(), fill = ++fills_] {
        LowerThisThreadPriority();
        auto filled = std::make_shared<TrendChannels>();
        if (!filled->Fill(records, &stopFill_))
            return;
        // Posted to this plot: a plot destroyed meanwhile has joined this thread first, and
        // the call posted to it is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, filled, upTo = records.Count(), fill] {
                Guarded([&] { FillEnded(filled, upTo, fill); });
            },
            Qt::QueuedConnection);
    });
}

void TrendPlot::FillEnded(const std::shared_ptr<TrendChannels>& filled, int64_t upTo, int fill) {
    if (!filling_ || fill != fills_)
        return; // given up: the buffer was cleared, or another fill began
    filler_.join();
    filling_ = false;
    const int board = Board();
    const int channel = Channel();
    channels_ = std::move(*filled);
    for (int64_t k = upTo; Stream() && k < Stream()->Count(); ++k)
        channels_.Add(Stream()->At(k), k);
    series_ = &channels_.Of(board - 1, channel - 1, Stream());
    synced_ = false;
    Sync();
    Changed();
}

void TrendPlot::StopFill() {
    if (filler_.joinable()) {
        stopFill_ = true;
        filler_.join();
    }
    filling_ = false;
}

void TrendPlot::SetSource(int board, int channel) {
    series_ = &channels_.Of(board - 1, channel - 1, Stream());
    view_.Reset();
    synced_ = false;
    Hover(std::nullopt);
    Sync();
    Changed();
}

void TrendPlot::SetScale(TrendScale scale) {
    scale_ = scale;
    // A value range picked on the other scale means nothing on this one.
    view_.FreeValues();
    Changed();
}

void TrendPlot::SetFormatSettings(const FormatSettings& fs) {
    fs_ = fs;
    Changed();
}

void TrendPlot::ResetZoom() {
    view_.Reset();
    Changed();
}

void TrendPlot::RecordAppended(const TMeasRecord& rec) {
    // While the channels are read, the buffer's items beyond them are taken when they come.
    if (filling_)
        return;
    if (channels_.Add(rec, Stream()->Count() - 1) != series_)
        return;
    synced_ = false;
    DataChanged();
}

void TrendPlot::RecordsAppended(int64_t first, int64_t count) {
    if (filling_)
        return;
    bool added = false;
    for (int64_t k = first; k < first + count; ++k)
        added = channels_.Add(Stream()->At(k), k) == series_ || added;
    if (!added)
        return;
    synced_ = false;
    DataChanged();
}

void TrendPlot::StreamCleared() {
    StopFill();
    channels_.Clear();
    synced_ = false;
    Hover(std::nullopt);
    Sync();
    Changed();
}

void TrendPlot::Changed() {
    dirty_ = true;
    // One update request until the paint: a burst of items costs one redraw.
    if (!updateQueued_) {
        updateQueued_ = true;
        update();
    }
}

void TrendPlot::DataChanged() {
    // A redraw of millions of items costs milliseconds, mostly memory not yet in the cache:
    // drawn for each slice of a restore, it took a good part of the window's thread.
    constexpr qint64 DataRedrawMs = 100;
    dirty_ = true;
    if (updateQueued_ || dataRedraw_.isActive())
        return;
    const qint64 since = lastDrawn_.isValid() ? lastDrawn_.elapsed() : DataRedrawMs;
    if (since >= DataRedrawMs)
        Changed();
    else
        dataRedraw_.start(static_cast<int>(DataRedrawMs - since));
}

void TrendPlot::Sync() {
    if (synced_)
        return;
    synced_ = true;
    series_->Order();
    const auto times = series_->Times();
    if (times.empty())
        view_.SetData(std::nullopt, std::nullopt);
    else
        view_.SetData(times.front(), times.back());
    dirty_ = true;
    emit seriesChanged();
}

TrendPlot::Frame TrendPlot::MakeFrame(QSize size) const {
    Frame f;
    f.size = size;
    const QFontMetrics fm(font());
    const int textHeight = fm.height();
    const int left = fm.horizontalAdvance(QStringLiteral("-100.00M")) + 12;
    const int right = 16;
    const int top = 6;
    const int title = textHeight + 4;
    const int gap = 10;
    const int bottom = 2 * textHeight + 10;
    const int width = std::max(size.width() - left - right, 2);
    const int height = std::max((size.height() - top - bottom - 2 * title - gap) / 2, 2);
    f.areas[0] = QRect(left, top + title, width, height);
    f.areas[1] = QRect(left, f.areas[0].bottom() + 1 + gap + title, width, height);
    f.time = TimeAxis{view_.Start(), view_.End(), left, width};
    const TrendColumnItems columns = ColumnItems(series_->Times(), f.time);
    for (int p = 0; p < TrendView::Plots; ++p) {
        f.traces[p] =
            DecimateTrend(columns, series_->Values(QuantityOf(p)), series_->Pyramid(QuantityOf(p)));
        const TrendTrace& trace = f.traces[p];
        ScaledRange range = EmptyRange(scale_);
        if (const auto fixed = view_.FixedValues(p))
            range = *fixed;
        else if (trace.lowest)
            range = AutoRange(scale_, *trace.lowest, *trace.highest);
        f.values[p] = ValueAxis{scale_, range.low, range.high, f.areas[p].top(), height};
    }
    return f;
}

void TrendPlot::Draw(QPainter& painter, const Frame& f) const {
    painter.fillRect(QRect(QPoint(0, 0), f.size), Background);
    painter.setFont(font());
    const QFontMetrics fm(font());
    const int textHeight = fm.height();
    const int timeSpacing = fm.horizontalAdvance(QStringLiteral("00.00.0000")) + 24;
    const std::vector<AxisTick> timeTicks = TimeTicks(f.time, timeSpacing, fs_);

    for (int p = 0; p < TrendView::Plots; ++p) {
        const QRect& area = f.areas[p];
        const ValueAxis& values = f.values[p];
        const std::vector<AxisTick> valueTicks = ValueTicks(values, textHeight * 2, fs_);

        painter.setPen(QPen(Grid, 1));
        for (const AxisTick& tick : timeTicks) {
            const int x = Rounded(f.time.X(tick.at));
            painter.drawLine(x, area.top(), x, area.bottom());
        }
        for (const AxisTick& tick : valueTicks) {
            const int y = Rounded(values.Y(tick.at));
            painter.drawLine(area.left(), y, area.right(), y);
        }
        painter.setPen(Text);
        for (const AxisTick& tick : valueTicks) {
            const int y = Rounded(values.Y(tick.at));
            painter.drawText(QRect(0, y - textHeight / 2, area.left() - 6, textHeight),
                             Qt::AlignRight | Qt::AlignVCenter, tick.text);
        }
        painter.setPen(Curve[p]);
        painter.drawText(QRect(area.left(), area.top() - textHeight - 3, area.width(), textHeight),
                         Qt::AlignLeft | Qt::AlignBottom,
                         QLatin1String(Titles[p]) + (scale_ == TrendScale::Log
                                                         ? QStringLiteral(", logarithmic")
                                                         : QString()));
        painter.setPen(QPen(Border, 1));
        painter.drawRect(area.adjusted(0, 0, -1, -1));

        const TrendDrawing drawing = DrawTrend(f.traces[p], f.time, values);
        std::vector<QLine> lines;
        lines.reserve(drawing.lines.size());
        for (const TrendLine& l : drawing.lines)
            lines.emplace_back(l.x0, l.y0, l.x1, l.y1);
        painter.setPen(QPen(Curve[p], 1));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        for (const auto& [x, y] : drawing.marks)
            painter.fillRect(x - 1, y - 1, 3, 3, Curve[p]);
        // Void items: a short red tick from the top edge, whether or not they open a gap.
        lines.clear();
        for (int x : drawing.voidColumns)
            lines.emplace_back(x, area.top() + 1, x, area.top() + 5);
        painter.setPen(QPen(VoidMark, 1));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }

    const QRect& lowest = f.areas[TrendView::Plots - 1];
    painter.setPen(Text);
    for (const AxisTick& tick : timeTicks) {
        const int x = Rounded(f.time.X(tick.at));
        const QRect box(x - timeSpacing / 2, lowest.bottom() + 4, timeSpacing, textHeight);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, tick.text);
        if (!tick.date.isEmpty())
            painter.drawText(box.translated(0, textHeight), Qt::AlignHCenter | Qt::AlignTop,
                             tick.date);
    }
    if (series_->Count() == 0) {
        painter.drawText(f.areas[0].united(f.areas[1]), Qt::AlignCenter,
                         QStringLiteral("No measurements of board %1, channel %2 in the buffer")
                             .arg(Board())
                             .arg(Channel()));
    }
}

const QImage& TrendPlot::Picture() {
    Sync();
    if (dirty_ || backing_.size() != size() || frame_.size != size()) {
        dirty_ = false;
        frame_ = MakeFrame(size());
        // Drawn over whole: the image of the last picture serves again at the same size.
        if (backing_.size() != size())
            backing_ = QImage(size(), QImage::Format_RGB32);
        if (!backing_.isNull()) {
            QPainter painter(&backing_);
            Draw(painter, frame_);
        }
        lastDrawn_.start();
    }
    return backing_;
}

const TrendPlot::Frame& TrendPlot::CurrentFrame() {
    Picture();
    return frame_;
}

void TrendPlot::Render(QPainter& painter, QSize size) {
    Sync();
    Draw(painter, MakeFrame(size));
}

void TrendPlot::paintEvent(QPaintEvent*) {
    updateQueued_ = false;
    Guarded([this] {
        const QImage& picture = Picture();
        QPainter painter(this);
        painter.drawImage(0, 0, picture);
        if (hoverItem_ >= 0 && hoverItem_ < series_->Count()) {
            const int x = Rounded(frame_.time.X(series_->Times()[static_cast<size_t>(hoverItem_)]));
            for (int p = 0; p < TrendView::Plots; ++p) {
                const QRect& area = frame_.areas[p];
                if (x < area.left() || x > area.right())
                    continue;
                painter.setPen(QPen(HoverMark, 1, Qt::DashLine));
                painter.drawLine(x, area.top(), x, area.bottom());
                const double v = series_->Values(QuantityOf(p))[static_cast<size_t>(hoverItem_)];
                const double y = frame_.values[p].Y(v);
                if (!std::isnan(v) && y >= area.top() && y <= area.bottom()) {
                    painter.setPen(QPen(HoverMark, 2));
                    painter.drawEllipse(QPoint(x, Rounded(y)), 4, 4);
                }
            }
        }
        if (drag_ == Drag::Band) {
            const QRect band = QRect(dragFrom_, dragTo_).normalized();
            painter.setPen(QPen(Band, 1));
            painter.setBrush(QColor(Band.red(), Band.green(), Band.blue(), 40));
            painter.drawRect(band);
        }
    });
}

void TrendPlot::resizeEvent(QResizeEvent* event) {
    dirty_ = true;
    QWidget::resizeEvent(event);
}

int TrendPlot::PlotAt(QPoint at) const {
    for (int p = 0; p < TrendView::Plots; ++p)
        if (frame_.areas[p].contains(at))
            return p;
    return -1;
}

void TrendPlot::Hover(std::optional<QPoint> at) {
    int64_t item = -1;
    if (at && PlotAt(*at) >= 0) {
        const TimeAxis& time = frame_.time;
        item = series_->Nearest(time.TimeAt(at->x()), series_->LowerBound(time.start),
                                series_->UpperBound(time.end));
    }
    if (item == hoverItem_)
        return;
    hoverItem_ = item;
    hoverText_.clear();
    if (item >= 0 && Stream()) {
        const int64_t row = series_->Row(item);
        hoverText_ = BufferItemSummary(Stream()->At(row), row, HoverColumns, fs_);
    }
    update();
    emit hoverChanged(hoverText_);
}

void TrendPlot::ZoomAtPixel(double x, double factor) {
    const TimeAxis& time = CurrentFrame().time;
    x = std::clamp(x, static_cast<double>(time.left),
                   static_cast<double>(time.left + time.width - 1));
    view_.ZoomAround(time.TimeAt(x), factor);
    Changed();
}

void TrendPlot::wheelEvent(QWheelEvent* event) {
    Guarded([&] {
        const int notches = event->angleDelta().y();
        if (notches == 0)
            return;
        ZoomAtPixel(event->position().x(), std::pow(ZoomStep, notches / 120.0));
        event->accept();
    });
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
    Guarded([&] {
        CurrentFrame();
        const QPoint at = event->position().toPoint();
        const int plot = PlotAt(at);
        if (plot < 0)
            return;
        const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
        if (event->button() == Qt::LeftButton && !shift) {
            drag_ = Drag::Band;
            dragPlot_ = plot;
            dragFrom_ = dragTo_ = at;
        } else if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton ||
                   event->button() == Qt::MiddleButton) {
            drag_ = Drag::Pan;
            dragFrom_ = at;
            panStart_ = view_.Start();
            panEnd_ = view_.End();
        }
    });
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    Guarded([&] {
        CurrentFrame();
        const QPoint at = event->position().toPoint();
        if (drag_ == Drag::Band) {
            const QRect& area = frame_.areas[dragPlot_];
            dragTo_ = QPoint(std::clamp(at.x(), area.left(), area.right()),
                             std::clamp(at.y(), area.top(), area.bottom()));
            update();
        } else if (drag_ == Drag::Pan) {
            const double days = (at.x() - dragFrom_.x()) * (panEnd_ - panStart_) /
                                std::max(frame_.time.width - 1, 1);
            view_.ShowStretch(panStart_ - days, panEnd_ - days);
            Changed();
        }
        Hover(at);
    });
}

void TrendPlot::mouseReleaseEvent(QMouseEvent*) {
    Guarded([&] {
        if (drag_ == Drag::Band) {
            const QRect band = QRect(dragFrom_, dragTo_).normalized();
            const Frame& f = CurrentFrame();
            if (band.width() >= MinBand)
                view_.ShowStretch(f.time.TimeAt(band.left()), f.time.TimeAt(band.right()));
            if (band.height() >= MinBand) {
                const ValueAxis& values = f.values[dragPlot_];
                view_.FixValues(dragPlot_, {ToScale(scale_, values.ValueAt(band.bottom())),
                                            ToScale(scale_, values.ValueAt(band.top()))});
            }
            Changed();
        }
        drag_ = Drag::None;
        update();
    });
}

void TrendPlot::mouseDoubleClickEvent(QMouseEvent*) {
    Guarded([&] { ResetZoom(); });
}

void TrendPlot::keyPressEvent(QKeyEvent* event) {
    Guarded([&] {
        const TimeAxis& time = CurrentFrame().time;
        const double middle = time.left + time.width / 2.0;
        switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Home:
            ResetZoom();
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomAtPixel(middle, ZoomStep);
            break;
        case Qt::Key_Minus:
            ZoomAtPixel(middle, 1 / ZoomStep);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const double tenth = (time.end - time.start) / 10;
            view_.PanBy(event->key() == Qt::Key_Left ? -tenth : tenth);
            Changed();
            break;
        }
        default:
            QWidget::keyPressEvent(event);
        }
    });
}

void TrendPlot::leaveEvent(QEvent* event) {
    Hover(std::nullopt);
    QWidget::leaveEvent(event);
}
