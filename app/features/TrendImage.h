#pragma once
// "Save image..." of the trend window: the plot as a PNG picture or, for a name ending in .svg,
// as an SVG drawing, written whole or not at all.
#include <QString>

class TrendPlot;

// Writes the plot as it shows now, at its size; a name without an extension gets ".png".
// Returns the path written. Fails with "Cannot create file ..." or "Cannot write file ...".
QString SaveTrendImage(TrendPlot& plot, const QString& path, const QString& title);
