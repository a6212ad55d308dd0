#include "plot/TrendView.h"

#include <algorithm>
#include <cmath>

void TrendView::SetData(std::optional<double> first, std::optional<double> last) {
    if (!first || !last) {
        hasData_ = false;
        Reset();
        return;
    }
    const bool slide = zoomed_ && hasData_ && end_ >= last_;
    const double grown = *last - last_;
    hasData_ = true;
    first_ = *first;
    last_ = *last;
    if (!zoomed_)
        ShowAll();
    else if (slide && grown > 0)
        Place(start_ + grown, end_ + grown);
    else
        Place(start_, end_);
}

void TrendView::ShowAll() {
    zoomed_ = false;
    if (!hasData_) {
        start_ = 0;
        end_ = 1;
        return;
    }
    start_ = first_;
    end_ = last_;
    if (end_ - start_ < MinSpan) {
        const double middle = (first_ + last_) / 2;
        start_ = middle - MinSpan / 2;
        end_ = middle + MinSpan / 2;
    }
}

void TrendView::Place(double start, double end) {
    if (!hasData_ || !(std::max(end - start, MinSpan) < last_ - first_)) {
        ShowAll();
        return;
    }
    if (end - start < MinSpan) {
        const double middle = (start + end) / 2;
        start = middle - MinSpan / 2;
        end = middle + MinSpan / 2;
    }
    // The stretch stays within the series.
    if (start < first_) {
        end += first_ - start;
        start = first_;
    }
    if (end > last_) {
        start -= end - last_;
        end = last_;
    }
    zoomed_ = true;
    start_ = start;
    end_ = end;
}

void TrendView::ZoomAround(double t, double factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    Place(t - (t - start_) * factor, t + (end_ - t) * factor);
}

void TrendView::PanBy(double days) {
    if (zoomed_ && std::isfinite(days))
        Place(start_ + days, end_ + days);
}

void TrendView::ShowStretch(double a, double b) {
    if (std::isfinite(a) && std::isfinite(b))
        Place(std::min(a, b), std::max(a, b));
}

std::optional<ScaledRange> TrendView::FixedValues(int plot) const {
    return plot >= 0 && plot < Plots ? fixed_[plot] : std::nullopt;
}

void TrendView::FixValues(int plot, ScaledRange range) {
    if (plot < 0 || plot >= Plots || !(range.high > range.low) ||
        !std::isfinite(range.high - range.low))
        return;
    fixed_[plot] = range;
}

void TrendView::FreeValues() {
    for (auto& f : fixed_)
        f.reset();
}

void TrendView::Reset() {
    FreeValues();
    ShowAll();
}
