#include "app/features/TrendImage.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include "base/Failure.h"
#include "base/ReplacingFile.h"
#include "widgets/TrendPlot.h"

namespace {
QByteArray Svg(TrendPlot& plot, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(plot.size());
    svg.setViewBox(QRect(QPoint(0, 0), plot.size()));
    svg.setTitle(title);
    QPainter painter(&svg);
    plot.Render(painter, plot.size());
    painter.end();
    return bytes;
}

QByteArray Png(TrendPlot& plot) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    plot.Picture().save(&buffer, "PNG");
    return bytes;
}
} // namespace

QString SaveTrendImage(TrendPlot& plot, const QString& path, const QString& title) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QString target = suffix.isEmpty() ? path + QStringLiteral(".png") : path;
    const QByteArray bytes = suffix == QLatin1String("svg") ? Svg(plot, title) : Png(plot);
    ReplacingFile file(target);
    if (!file.Open())
        throw Failure(QStringLiteral("Cannot create file %1: %2").arg(target, file.ErrorString()));
    if (bytes.isEmpty() || !file.Write(bytes) || !file.Commit())
        throw Failure(QStringLiteral("Cannot write file %1: %2")
                          .arg(target, bytes.isEmpty() ? QStringLiteral("no picture to write")
                                                       : file.ErrorString()));
    return target;
}
