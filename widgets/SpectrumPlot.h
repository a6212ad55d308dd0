#pragma once
// The sweep window's plots, side by side: Bode (|Z| on a logarithmic axis at the left and the
// phase on a linear one at the right, against the frequency on a logarithmic axis) and Nyquist
// (-X against R on equal scales). Each shown sweep has a colour of its own, its points joined
// by a line that a void point breaks; a sweep's fitted circuit is drawn dashed over it. Units
// carry one prefix per axis; a legend names every sweep.
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

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

    // Draws the plots at that size onto any paint device (a PNG image, an SVG generator).
    void Render(QPainter& painter, QSize size) const;
    // The plots as they show now.
    QImage Picture() const;

    QSize sizeHint() const override { return {900, 420}; }
    QSize minimumSizeHint() const override { return {480, 240}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawBode(QPainter& painter, QRect area) const;
    void DrawNyquist(QPainter& painter, QRect area) const;
    void DrawLegend(QPainter& painter, QRect area) const;

    const SweepRecorder* recorder_ = nullptr;
    std::vector<Trace> traces_;
};
