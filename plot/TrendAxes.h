#pragma once
// The axes of the trend view, free of widgets: time across (days since 30 December 1899, as the
// records carry it), values up on a linear or a logarithmic scale; where a time or a value sits
// in pixels and back, the range an automatic value axis takes, and the ticks with their texts.
#include <QString>
#include <vector>

#include "base/FormatSettings.h"

enum class TrendScale { Linear, Log };

// Where a value sits on the scale's own line: the value itself, or sign(v) log10(1 + |v|), a
// logarithm that passes through zero to negative values (reactances are mostly negative) and
// differs from log10(v) by less than 0.0005 above 1000.
double ToScale(TrendScale scale, double v);
double FromScale(TrendScale scale, double s);

// A time range across the pixel columns left .. left + width - 1: start on the first column, end
// on the last. end > start.
struct TimeAxis {
    double start = 0;
    double end = 1;
    int left = 0;
    int width = 1;

    // Unrounded x of time t.
    double X(double t) const;
    double TimeAt(double x) const;
};

// A range on a scale's line across the pixel rows top .. top + height - 1: high on the top row,
// low on the bottom one. high > low.
struct ValueAxis {
    TrendScale scale = TrendScale::Linear;
    double low = 0;
    double high = 1;
    int top = 0;
    int height = 1;

    // Unrounded y of value v (as displayed, not on the scale's line).
    double Y(double v) const;
    double ValueAt(double y) const;
};

// A range on a scale's line.
struct ScaledRange {
    double low = 0;
    double high = 1;
    bool operator==(const ScaledRange&) const = default;
};

// What an automatic value axis shows for values from lo to hi: on the scale's line, 5 % of the
// range as room above and below; a single value gets a range around it.
ScaledRange AutoRange(TrendScale scale, double lo, double hi);
// With no values at all: 0 to 1 (linear), 0 to 1000 (logarithmic).
ScaledRange EmptyRange(TrendScale scale);

struct AxisTick {
    double at = 0; // a time, or a value as displayed
    QString text;
    QString date; // time ticks: the date below the first tick and wherever the day changes
};

// Ticks at least minSpacing pixels apart: whole seconds, minutes, hours or days in local wall
// time, labelled with the operator's time separator and date format.
std::vector<AxisTick> TimeTicks(const TimeAxis& axis, int minSpacing, const FormatSettings& fs);
// Ticks at least minSpacing pixels apart: 1, 2 or 5 times a power of ten on a linear axis,
// powers of ten and zero on a logarithmic one (and linear steps when it shows less than a
// decade); texts such as 250, 1.5k, 10M, with the operator's decimal separator.
std::vector<AxisTick> ValueTicks(const ValueAxis& axis, int minSpacing, const FormatSettings& fs);
