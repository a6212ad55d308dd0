#include "widgets/SpectrumPlot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "plot/TrendAxes.h"
#include "sweep/SpectrumScales.h"
#include "sweep/SweepRecorder.h"
#include "sweep/Units.h"

namespace {

constexpr int MarginLeft = 64;
constexpr int MarginRight = 56;
constexpr int MarginTop = 24;
constexpr int MarginBottom = 40;
constexpr int TickSpacing = 44;
constexpr size_t SmoothPoints = 20000;
constexpr int LegendRows = 8; // named sweeps; more are counted in one line

// A value already on an axis' line to its pixel, as ValueAxis::Y maps it (to the last bit,
// so that the picture stays as it was), without the logarithm each paint would otherwise take
// again; mirrored across the axis for a horizontal one, as X below.
struct PixelMap {
    double from, to, pixels, span; // Y = to + (s - from) * pixels / span
    bool mirrored = false;
    double mirror = 0; // X = mirror - Y
    double operator()(double s) const {
        const double y = to + (s - from) * pixels / span;
        return mirrored ? mirror - y : y;
    }
};

PixelMap Rows(const ValueAxis& a) {
    return {a.high, static_cast<double>(a.top), static_cast<double>(a.height - 1), a.low - a.high};
}

PixelMap Columns(const ValueAxis& a) {
    PixelMap m = Rows(a);
    m.mirrored = true;
    m.mirror = 2.0 * a.top + a.height - 1;
    return m;
}

// Where a plot puts a point: one of its values across, one up.
struct Projection {
    PixelMap x, y;
    double SpectrumValue::*across;
    double SpectrumValue::*up;
    QPointF operator()(const SpectrumValue& v) const { return {x(v.*across), y(v.*up)}; }
};

// A horizontal axis as the trend's vertical ones: pixel columns left .. left + width - 1.
double X(const ValueAxis& across, double v) {
    return 2.0 * across.top + across.height - 1 - across.Y(v);
}

QString TickText(double at, const UnitScale& scale) {
    return QString::number(at / scale.divisor, 'g', 4);
}

ValueAxis Axis(TrendScale scale, const SpectrumExtent& e, int top, int height) {
    const ScaledRange r = e.Empty() ? EmptyRange(scale) : AutoRange(scale, e.lo, e.hi);
    return {scale, r.low, r.high, top, height};
}

enum class SeriesStyle { Dots, HollowDots, Dashed };

// Lines through the runs of points (a void point ends a run: a gap), and a dot on each point
// unless dashed or too dense to tell apart (more than one point per four pixels across
// `width`), where dots would only cost time. `polyline` is a buffer kept across paints.
void DrawSeries(QPainter& painter, QPolygonF& polyline, const std::vector<SpectrumValue>& values,
                const std::vector<std::pair<int, int>>& runs, QColor color, SeriesStyle style,
                int width, const Projection& at) {
    const Qt::PenStyle line = style == SeriesStyle::Dots         ? Qt::SolidLine
                              : style == SeriesStyle::HollowDots ? Qt::DotLine
                                                                 : Qt::DashLine;
    const bool dots = style != SeriesStyle::Dashed && static_cast<int>(values.size()) * 4 <= width;
    const QPen linePen(color, dots ? (style == SeriesStyle::Dashed ? 1.5 : 1.2) : 1.0, line);
    for (const auto& [first, last] : runs) {
        polyline.resize(last - first + 1);
        for (int i = first; i <= last; ++i)
            polyline[i - first] = at(values[static_cast<size_t>(i)]);
        painter.setPen(linePen);
        painter.drawPolyline(polyline);
        if (!dots)
            continue;
        painter.setPen(QPen(color, 1.2));
        painter.setBrush(style == SeriesStyle::Dots ? QBrush(color) : QBrush(Qt::NoBrush));
        for (const QPointF& p : polyline)
            painter.drawEllipse(p, 2.5, 2.5);
        painter.setBrush(Qt::NoBrush);
    }
}

void DrawFrame(QPainter& painter, QRect plot, const QString& title) {
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    QFont f = painter.font();
    f.setBold(true);
    painter.save();
    painter.setFont(f);
    painter.drawText(QRect(plot.left(), plot.top() - MarginTop, plot.width(), MarginTop),
                     Qt::AlignCenter, title);
    painter.restore();
}

void DrawBottomTicks(QPainter& painter, const ValueAxis& across, QRect plot, const UnitScale& u,
                     const QString& title) {
    const ValueAxis rows{across.scale, across.low, across.high, plot.left(), plot.width()};
    for (const AxisTick& t : ValueTicks(rows, TickSpacing + 16, FormatSettings{})) {
        const int x = static_cast<int>(std::lround(X(rows, t.at)));
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(x, plot.top() + 1, x, plot.bottom() - 1);
        painter.setPen(Qt::black);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
        painter.drawText(QRect(x - 40, plot.bottom() + 5, 80, 14), Qt::AlignHCenter | Qt::AlignTop,
                         TickText(t.at, u));
    }
    painter.drawText(QRect(plot.left(), plot.bottom() + 20, plot.width(), 16), Qt::AlignCenter,
                     title);
}

void DrawSideTicks(QPainter& painter, const ValueAxis& axis, QRect plot, const UnitScale& u,
                   const QString& title, bool right, bool grid) {
    for (const AxisTick& t : ValueTicks(axis, TickSpacing, FormatSettings{})) {
        const int y = static_cast<int>(std::lround(axis.Y(t.at)));
        if (grid) {
            painter.setPen(QColor(225, 225, 225));
            painter.drawLine(plot.left() + 1, y, plot.right() - 1, y);
        }
        painter.setPen(Qt::black);
        const int edge = right ? plot.right() : plot.left();
        painter.drawLine(edge, y, edge + (right ? 4 : -4), y);
        const QRect box = right ? QRect(edge + 6, y - 7, MarginRight - 20, 14)
                                : QRect(edge - MarginLeft + 14, y - 7, MarginLeft - 20, 14);
        painter.drawText(box, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                         TickText(t.at, u));
    }
    painter.save();
    // Rotated text reaches 14 pixels to the right of x (90°) or to its left (-90°).
    const int x = right ? plot.right() + MarginRight - 16 : plot.left() - MarginLeft + 16;
    painter.translate(x, plot.center().y());
    painter.rotate(right ? 90 : -90);
    painter.drawText(QRect(-plot.height() / 2, -14, plot.height(), 14),
                     Qt::AlignCenter | Qt::AlignBottom, title);
    painter.restore();
}

} // namespace

SpectrumPlot::SpectrumPlot(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void SpectrumPlot::SetRecorder(const SweepRecorder* recorder) {
    if (recorder != recorder_)
        spectra_.Clear();
    recorder_ = recorder;
    update();
}

void SpectrumPlot::SetTraces(std::vector<Trace> traces) {
    traces_ = std::move(traces);
    update();
}

void SpectrumPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    marks_.clear();
    Render(painter, size(), &marks_);
}

void SpectrumPlot::mouseMoveEvent(QMouseEvent* event) {
    QString text;
    const QPointF at = event->position();
    double best = 12 * 12; // pixels, squared: nearer than that or none
    for (const PointMark& m : marks_) {
        const QPointF d = m.at - at;
        const double d2 = d.x() * d.x() + d.y() * d.y();
        if (d2 < best) {
            best = d2;
            text = PointText(m.sweep, m.point);
        }
    }
    if (text != hoverText_) {
        hoverText_ = text;
        emit hoverChanged(text);
    }
}

void SpectrumPlot::leaveEvent(QEvent*) {
    if (!hoverText_.isEmpty()) {
        hoverText_.clear();
        emit hoverChanged(hoverText_);
    }
}

QString SpectrumPlot::PointText(int sweep, int point) const {
    if (!recorder_ || sweep < 0 || sweep >= static_cast<int>(recorder_->Sweeps().size()))
        return {};
    const Sweep& s = recorder_->Sweeps()[static_cast<size_t>(sweep)];
    if (point < 0 || point >= static_cast<int>(s.points.size()))
        return {};
    const SweepPoint& p = s.points[static_cast<size_t>(point)];
    const auto ohms = [](double v) { return WithUnit(v, ScaleFor(Unit::Ohm, v, v), 2); };
    return QStringLiteral("Sweep %1, point %2: %3 Hz, range %4, R %5, X %6, |Z| %7, phase %8")
        .arg(sweep + 1)
        .arg(point + 1)
        .arg(p.Hz())
        .arg(p.range)
        .arg(ohms(p.Rx), ohms(p.Xx), ohms(p.Magnitude()),
             WithUnit(p.PhaseDegrees(), BaseScale(Unit::Degree), 2));
}

QImage SpectrumPlot::Picture() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    Render(painter, size());
    return image;
}

namespace {
struct TraceValues {
    int sweep;
    QColor color;
    const SweepSpectrum* values;
    std::vector<std::pair<int, int>> fitRuns;
};

SpectrumExtents ExtentsOf(const std::vector<TraceValues>& traces) {
    SpectrumExtents out;
    for (const TraceValues& t : traces)
        out.Add(t.values->extents);
    return out;
}

// Where each point that is not void lies, for the pointer.
void Mark(std::vector<SpectrumPlot::PointMark>* marks, const TraceValues& t, const Projection& at) {
    if (!marks)
        return;
    for (const auto& [first, last] : t.values->runs)
        for (int i = first; i <= last; ++i)
            marks->push_back({at(t.values->points[static_cast<size_t>(i)]), t.sweep, i});
}

void DrawBode(QPainter& painter, QPolygonF& polyline, QRect area,
              const std::vector<TraceValues>& traces, std::vector<SpectrumPlot::PointMark>* marks) {
    const QRect plot = area.adjusted(MarginLeft, MarginTop, -MarginRight, -MarginBottom);
    const SpectrumExtents e = ExtentsOf(traces);
    const ValueAxis f = Axis(TrendScale::Log, e.hz, plot.left(), plot.width());
    const ValueAxis m = Axis(TrendScale::Log, e.magnitude, plot.top(), plot.height());
    const ValueAxis ph = Axis(TrendScale::Linear, e.phase, plot.top(), plot.height());
    DrawFrame(painter, plot, QStringLiteral("Bode: |Z| (solid), phase (dotted)"));
    const UnitScale fu = ScaleFor(Unit::Hertz, e.hz.lo, e.hz.hi);
    const UnitScale mu = ScaleFor(Unit::Ohm, e.magnitude.lo, e.magnitude.hi);
    const UnitScale pu = BaseScale(Unit::Degree);
    DrawBottomTicks(painter, f, plot, fu, QuantityTitle(Quantity::Frequency, fu));
    DrawSideTicks(painter, m, plot, mu, QuantityTitle(Quantity::Magnitude, mu), false, true);
    DrawSideTicks(painter, ph, plot, pu, QuantityTitle(Quantity::Phase, pu), true, false);
    painter.save();
    painter.setClipRect(plot.adjusted(1, 1, -1, -1));
    const Projection magAt{Columns(f), Rows(m), &SpectrumValue::logHz,
                           &SpectrumValue::logMagnitude};
    const Projection phaseAt{Columns(f), Rows(ph), &SpectrumValue::logHz, &SpectrumValue::phase};
    const int w = plot.width();
    for (const TraceValues& t : traces) {
        const SweepSpectrum& v = *t.values;
        const QColor light = t.color.lighter(130);
        DrawSeries(painter, polyline, v.points, v.runs, t.color, SeriesStyle::Dots, w, magAt);
        DrawSeries(painter, polyline, v.fit, t.fitRuns, t.color, SeriesStyle::Dashed, w, magAt);
        DrawSeries(painter, polyline, v.points, v.runs, light, SeriesStyle::HollowDots, w, phaseAt);
        Mark(marks, t, magAt);
        DrawSeries(painter, polyline, v.fit, t.fitRuns, light, SeriesStyle::Dashed, w, phaseAt);
    }
    painter.restore();
}

void DrawNyquist(QPainter& painter, QPolygonF& polyline, QRect area,
                 const std::vector<TraceValues>& traces,
                 std::vector<SpectrumPlot::PointMark>* marks) {
    // Room between the Bode plot's phase axis and this plot's -X axis.
    const QRect plot = area.adjusted(MarginLeft + 24, MarginTop, -MarginRight / 2, -MarginBottom);
    SpectrumExtents e = ExtentsOf(traces);
    if (e.r.Empty()) {
        e.r = {0, 1};
        e.negX = {0, 1};
    }
    const auto [xs, ys] =
        EqualScaleSpans({e.r.lo, e.r.hi}, {e.negX.lo, e.negX.hi}, plot.width(), plot.height());
    const ValueAxis rAxis{TrendScale::Linear, xs.lo, xs.hi, plot.left(), plot.width()};
    const ValueAxis xAxis{TrendScale::Linear, ys.lo, ys.hi, plot.top(), plot.height()};
    DrawFrame(painter, plot, QStringLiteral("Nyquist"));
    // One prefix for both axes: their scales are equal.
    const UnitScale u = ScaleFor(Unit::Ohm, std::max(std::fabs(xs.lo), std::fabs(xs.hi)),
                                 std::max(std::fabs(ys.lo), std::fabs(ys.hi)));
    DrawBottomTicks(painter, rAxis, plot, u, QuantityTitle(Quantity::Resistance, u));
    DrawSideTicks(painter, xAxis, plot, u, QStringLiteral("-X (%1)").arg(u.symbol), false, true);
    painter.save();
    painter.setClipRect(plot.adjusted(1, 1, -1, -1));
    const Projection at{Columns(rAxis), Rows(xAxis), &SpectrumValue::r, &SpectrumValue::negX};
    const int w = plot.width();
    for (const TraceValues& t : traces) {
        const SweepSpectrum& v = *t.values;
        DrawSeries(painter, polyline, v.points, v.runs, t.color, SeriesStyle::Dots, w, at);
        DrawSeries(painter, polyline, v.fit, t.fitRuns, t.color, SeriesStyle::Dashed, w, at);
        Mark(marks, t, at);
    }
    painter.restore();
}

} // namespace

void SpectrumPlot::Render(QPainter& painter, QSize size, std::vector<PointMark>* marks) const {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    std::vector<TraceValues> traces;
    size_t points = 0;
    if (recorder_) {
        const std::vector<Sweep>& sweeps = recorder_->Sweeps();
        for (const Trace& t : traces_) {
            if (t.sweep < 0 || t.sweep >= static_cast<int>(sweeps.size()))
                continue;
            const size_t k = static_cast<size_t>(t.sweep);
            const SweepSpectrum& v = spectra_.Of(k, sweeps[k]);
            TraceValues tv{t.sweep, t.color, &v, {}};
            if (!v.fit.empty())
                tv.fitRuns.emplace_back(0, static_cast<int>(v.fit.size()) - 1);
            points += v.points.size();
            traces.push_back(std::move(tv));
        }
    }
    if (marks)
        marks->reserve(2 * points);
    // Smooth lines cost about ten times as much: an overlay of many long sweeps goes without.
    painter.setRenderHint(QPainter::Antialiasing, points <= SmoothPoints);
    const int legendHeight =
        18 * std::clamp(static_cast<int>(traces_.size()), 1, LegendRows + 1) + 6;
    const int half = size.width() / 2;
    const int plotsHeight = std::max(size.height() - legendHeight, 120);
    DrawBode(painter, polyline_, QRect(0, 0, half, plotsHeight), traces, marks);
    DrawNyquist(painter, polyline_, QRect(half, 0, size.width() - half, plotsHeight), traces,
                marks);
    DrawLegend(painter, QRect(0, plotsHeight, size.width(), legendHeight));
}

void SpectrumPlot::DrawLegend(QPainter& painter, QRect area) const {
    painter.setPen(Qt::black);
    if (traces_.empty()) {
        painter.drawText(area.adjusted(MarginLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("No sweep chosen"));
        return;
    }
    int y = area.top() + 2;
    for (size_t k = 0; k < traces_.size(); ++k) {
        const Trace& t = traces_[k];
        if (k == static_cast<size_t>(LegendRows) && traces_.size() > k + 1) {
            // The rest in one line: the picture stays a picture of plots.
            painter.drawText(QRect(MarginLeft, y, area.width() - MarginLeft, 16),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("... and %1 more").arg(traces_.size() - k));
            break;
        }
        painter.setPen(QPen(t.color, 2));
        painter.drawLine(MarginLeft, y + 8, MarginLeft + 24, y + 8);
        painter.setPen(QPen(t.color, 1.5, Qt::DashLine));
        painter.drawLine(MarginLeft + 30, y + 8, MarginLeft + 54, y + 8);
        painter.setPen(Qt::black);
        painter.drawText(QRect(MarginLeft + 60, y, area.width() - MarginLeft - 60, 16),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         t.label + QStringLiteral("  (dashed: fit)"));
        y += 18;
    }
}
