#include "widgets/PreviewPlot.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPoint>
#include <optional>
#include <vector>

#include "base/EventGuard.h"
#include "buffer/RecordStream.h"

namespace {
const QColor Navy(0, 0, 128);
const QColor Lime(0, 255, 0);
const QColor Yellow(255, 255, 0);
const QColor Fuchsia(255, 0, 255);

// Draws the operations of a pass. Curve pixels are gathered and drawn in one call before each
// label, so a label still covers exactly the pixels drawn before it.
class PlotPainter : public PlotSink {
public:
    PlotPainter(QPainter& painter, QSize size, const QFont& labelFont, QSize labelBox)
        : painter_(painter), size_(size), labelFont_(labelFont), labelBox_(labelBox) {
        QPen pen(Yellow, 1);
        pen.setCosmetic(true);
        painter_.setPen(pen);
    }
    ~PlotPainter() override { Flush(); }

    void Segment(const PlotSegment& segment) override {
        ForEachSegmentPixel(segment, size_.width(), size_.height(),
                            [this](int x, int y) { pixels_.emplace_back(x, y); });
    }

    void Label(const PlotLabel& label) override {
        Flush();
        const QRect box(QPoint(label.at.x, label.at.y), labelBox_);
        painter_.fillRect(box, Navy);
        const QPen curvePen = painter_.pen();
        painter_.setFont(labelFont_);
        painter_.setPen(Fuchsia);
        painter_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label.Text());
        painter_.setPen(curvePen);
    }

private:
    void Flush() {
        if (!pixels_.empty())
            painter_.drawPoints(pixels_.data(), static_cast<int>(pixels_.size()));
        pixels_.clear();
    }

    QPainter& painter_;
    QSize size_;
    const QFont& labelFont_;
    QSize labelBox_;
    std::vector<QPoint> pixels_;
};

class NoDrawing : public PlotSink {
public:
    void Segment(const PlotSegment&) override {}
    void Label(const PlotLabel&) override {}
};

// Text on an opaque navy background, its top left at `at`.
void WriteText(QPainter& painter, PlotPoint at, const QString& text) {
    const QFontMetrics metrics(painter.font());
    const QRect box(QPoint(at.x, at.y), QSize(metrics.horizontalAdvance(text), metrics.height()));
    painter.fillRect(box, Navy);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}
} // namespace

PreviewPlot::PreviewPlot(QWidget* parent)
    : QWidget(parent), numberFont_(QFontDatabase::systemFont(QFontDatabase::FixedFont)),
      labelFont_(QStringLiteral("Sans Serif"), 8) {
    setObjectName(ControlName);
    labelFont_.setStyleHint(QFont::SansSerif);
    // Plain pixels in the stated colours, as the bitmap fonts of the original canvas drew.
    numberFont_.setStyleStrategy(QFont::NoAntialias);
    labelFont_.setStyleStrategy(QFont::NoAntialias);
    // Twelve blanks erase the previous label; a box as wide as the widest value (ten digits) does
    // so even for values wider than the blanks.
    const QFontMetrics metrics(labelFont_);
    labelWidth_ = std::max(metrics.horizontalAdvance(QString(12, QLatin1Char(' '))),
                           metrics.horizontalAdvance(QStringLiteral("0000000000")));
    labelHeight_ = metrics.height();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void PreviewPlot::SetPool(RecordStream* pool) {
    ListenTo(pool);
    Invalidate();
}

void PreviewPlot::RecordAppended(const TMeasRecord&) {
    if (!isVisible() || drawQueued_)
        return;
    drawQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { PlotNewRecords(); }); }, Qt::QueuedConnection);
}

void PreviewPlot::SetBoard(int board) {
    board_ = board;
    Invalidate();
}

void PreviewPlot::Invalidate() {
    dirty_ = true;
    update();
}

void PreviewPlot::SetTextOutputs(std::function<void(const QString&)> channelText,
                                 std::function<void(const QString&)> boardText) {
    channelText_ = std::move(channelText);
    boardText_ = std::move(boardText);
}

void PreviewPlot::ShowTexts(int64_t channelNumber, int64_t boardNumber) {
    if (channelText_)
        channelText_(QString::number(channelNumber));
    if (boardText_)
        boardText_(QString::number(boardNumber));
}

bool PreviewPlot::Stale() const {
    const int64_t count = Stream() ? Stream()->Count() : 0;
    return dirty_ || backing_.size() != size() || count != shownCount_;
}

void PreviewPlot::PlotNewRecords() {
    drawQueued_ = false;
    const int64_t count = Stream() ? Stream()->Count() : 0;
    if (count <= shownCount_)
        return; // emptied meanwhile: the next paint draws afresh
    // The picture can only be extended when it holds every item before the new ones.
    if (dirty_ || backing_.size() != size()) {
        const TMeasRecord last = Stream()->At(count - 1);
        ShowTexts(static_cast<int64_t>(last.Channel) + 1, static_cast<int64_t>(last.Board) + 1);
        Invalidate();
        return;
    }
    std::optional<QPainter> painter;
    std::optional<PlotPainter> plot;
    PlotStep step;
    while (shownCount_ < count) {
        const TMeasRecord rec = Stream()->At(shownCount_++);
        state_.NoteAppended(rec);
        step = state_.Record(rec);
        if (!step.fits) {
            if (state_.RepaintMovesScroll()) {
                // The full paint draws the rest.
                Invalidate();
                const TMeasRecord last = Stream()->At(count - 1);
                step.channelNumber = static_cast<int64_t>(last.Channel) + 1;
                step.boardNumber = static_cast<int64_t>(last.Board) + 1;
                break;
            }
            continue;
        }
        if (!step.segment && !step.label)
            continue;
        if (!plot) {
            painter.emplace(&backing_);
            plot.emplace(*painter, backing_.size(), labelFont_, QSize(labelWidth_, labelHeight_));
        }
        if (step.segment)
            plot->Segment(*step.segment);
        if (step.label)
            plot->Label(*step.label);
    }
    ShowTexts(step.channelNumber, step.boardNumber);
    if (plot) {
        plot.reset(); // draws what it gathered, before the painter ends
        painter.reset();
        update();
    }
}

void PreviewPlot::Repaint() {
    ++fullPaints_;
    dirty_ = false;
    const PlotGeometry geometry(width(), height());
    // Transparent outside the plot area: the bottom four rows show the page.
    backing_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    backing_.fill(Qt::transparent);

    static const RecordStream noItems;
    const RecordStream& pool = Stream() ? *Stream() : noItems;
    shownCount_ = pool.Count();
    if (backing_.isNull()) {
        // Nothing to draw on; the state and the labels still follow the pool.
        NoDrawing none;
        const PlotPassResult result = RunPlotPass(pool, board_, geometry, state_, none);
        if (result.last)
            ShowTexts(result.last->channelNumber, result.last->boardNumber);
        return;
    }

    QPainter painter(&backing_);
    painter.fillRect(QRect(0, 0, geometry.PlotWidth, geometry.PlotHeight), Navy);
    painter.setPen(QPen(palette().color(QPalette::Button), 2));
    for (int i = 1; i <= 8; ++i) {
        const int y = geometry.GridY(i);
        painter.drawLine(0, y, geometry.PlotWidth, y);
    }
    painter.drawLine(geometry.HalfWidth(), 0, geometry.HalfWidth(), geometry.PlotHeight);

    painter.setFont(numberFont_);
    painter.setPen(Lime);
    for (int c = 0; c < PlotChannels; ++c)
        WriteText(painter, geometry.ChannelNumberAt(c), QString::number(c + 1));

    PlotPassResult result;
    {
        PlotPainter plot(painter, backing_.size(), labelFont_, QSize(labelWidth_, labelHeight_));
        result = RunPlotPass(pool, board_, geometry, state_, plot);
    }
    if (result.last)
        ShowTexts(result.last->channelNumber, result.last->boardNumber);
}

const QImage& PreviewPlot::Picture() {
    if (drawQueued_)
        PlotNewRecords();
    if (Stale())
        Repaint();
    return backing_;
}

void PreviewPlot::paintEvent(QPaintEvent*) {
    Guarded([this] {
        const QImage& picture = Picture();
        QPainter painter(this);
        painter.drawImage(0, 0, picture);
    });
}

void PreviewPlot::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (const auto channel = PlotGeometry(width(), height()).ChannelAt(at.x(), at.y()))
        emit channelDoubleClicked(*channel);
}

void PreviewPlot::resizeEvent(QResizeEvent* event) {
    dirty_ = true;
    QWidget::resizeEvent(event);
}

void PreviewPlot::showEvent(QShowEvent* event) {
    // Showing the page draws it in full from the pool.
    dirty_ = true;
    QWidget::showEvent(event);
}
