#pragma once
// The sweep window's plots, side by side: Bode (|Z| on a logarithmic axis at the left and the
// phase on a linear one at the right, against the frequency on a logarithmic axis) and Nyquist
// (-X against R on equal scales). Each shown sweep has a colour of its own, its points joined
// by a line that a void point breaks; a sweep's fitted circuit is drawn dashed over it. Units
// carry one prefix per axis; a legend names every sweep. The pointer names the nearest point.
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QWidget>
#include <vector>

#include "widgets/SweepSpectra.h"

class QPainter;
class SweepRecorder;

class SpectrumPlot : public QWidget {
    Q_OBJECT
public:
    struct Trace {
        int sweep = -1; // index in the recorder
        QString label;
        QColor color;
    };

    explicit SpectrumPlot(QWidget* parent = nullptr);

    // The recorder whose sweeps the traces name; it must outlive the plot.
    void SetRecorder(const SweepRecorder* recorder);
    void SetTraces(std::vector<Trace> traces);
    const std::vector<Trace>& Traces() const { return traces_; }

    // Where a point was drawn on screen.
    struct PointMark {
        QPointF at;
        int sweep = -1;
        int point = -1;
    };

    // Draws the plots at that size onto any paint device (a PNG image, an SVG generator), and
    // notes where each point lies when given marks.
    void Render(QPainter& painter, QSize size, std::vector<PointMark>* marks = nullptr) const;
    // The points as last painted on screen.
    const std::vector<PointMark>& Marks() const { return marks_; }
    // "Sweep 2, point 5: 1600 Hz, range 1, R 12.35 kΩ, X -4.10 kΩ, |Z| 13.01 kΩ, phase -18.37°".
    QString PointText(int sweep, int point) const;
    // The plots as they show now.
    QImage Picture() const;

    QSize sizeHint() const override { return {900, 420}; }
    QSize minimumSizeHint() const override { return {480, 240}; }

signals:
    // The point nearest to the pointer changed; text as PointText, "" for none.
    void hoverChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawLegend(QPainter& painter, QRect area) const;

    const SweepRecorder* recorder_ = nullptr;
    std::vector<Trace> traces_;
    std::vector<PointMark> marks_;
    // Each sweep's values, computed as it changes, and a line's points: kept across paints.
    mutable SweepSpectra spectra_;
    mutable QPolygonF polyline_;
    QString hoverText_;
};
