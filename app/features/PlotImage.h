#pragma once
// "Save image..." of a plot window: the plot as a PNG picture or, for a name ending in .svg, as
// an SVG drawing, written whole or not at all.
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

// Draws a plot of a given size onto a paint device.
using PlotRenderer = std::function<void(QPainter&, QSize)>;

// Writes what `render` draws at `size`; a name without an extension gets ".png". Returns the
// path written. Fails with "Cannot create file ..." or "Cannot write file ...".
QString SavePlotImage(const PlotRenderer& render, QSize size, const QString& path,
                      const QString& title);
