#include "app/features/TrendImage.h"

#include <QPainter>

#include "app/features/PlotImage.h"
#include "widgets/TrendPlot.h"

QString SaveTrendImage(TrendPlot& plot, const QString& path, const QString& title) {
    return SavePlotImage([&plot](QPainter& painter, QSize size) { plot.Render(painter, size); },
                         plot.size(), path, title);
}
