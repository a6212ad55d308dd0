#include "app/features/PlotImage.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include "base/Failure.h"
#include "base/ReplacingFile.h"

namespace {
QByteArray Svg(const PlotRenderer& render, QSize size, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(title);
    QPainter painter(&svg);
    render(painter, size);
    painter.end();
    return bytes;
}

QByteArray Png(const PlotRenderer& render, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        render(painter, size);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
} // namespace

QString SavePlotImage(const PlotRenderer& render, QSize size, const QString& path,
                      const QString& title) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QString target = suffix.isEmpty() ? path + QStringLiteral(".png") : path;
    const QByteArray bytes =
        suffix == QLatin1String("svg") ? Svg(render, size, title) : Png(render, size);
    ReplacingFile file(target);
    if (Result<void> opened = file.Open(); !opened)
        throw Failure(QStringLiteral("Cannot create file %1: %2").arg(target, opened.error().text));
    const Result<void> written = bytes.isEmpty()
                                     ? Fail(QStringLiteral("no picture to write"))
                                     : file.Write(bytes).and_then([&] { return file.Commit(); });
    if (!written)
        throw Failure(QStringLiteral("Cannot write file %1: %2").arg(target, written.error().text));
    return target;
}
