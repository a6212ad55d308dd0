#pragma once
// The window "Sweeps" (FSweep): this session's frequency sweeps in a list (SweepLst; a ticked
// sweep is overlaid on the chosen one), the chosen sweep's number of points (SweepPointsTx) and
// its points in a table (SweepTbl), its Bode and Nyquist plots (SweepPB; the point under the
// pointer in SweepHoverTx), "Fit" (SweepFitBtn, the result in SweepFitTx), "Save..." (SweepSaveBtn:
// the ticked sweeps, or the chosen one, as CSV) and "Save image..." (SweepImageBtn: the plots as
// PNG or SVG). It follows the recorder: a running sweep grows in the list, the table and the plots
// as its points arrive.
#include <QWidget>

#include "app/pages/SweepWindowPage.h"

class SweepRecorder;
struct Sweep;

class SweepWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own above parent; the recorder must outlive it.
    SweepWindow(SweepRecorder& recorder, QWidget* parent = nullptr);

    // The chosen sweep's index, or -1.
    int Chosen() const;
    void Choose(int sweep);
    void Fit();
    SpectrumPlot* Plot() const { return view_.SweepPB; }

private:
    void Started(int sweep);
    void Appended(int sweep, int point);
    void Changed(int sweep);
    void ShowChosen();
    void AppendRow(const Sweep& s, int point);
    void ShowTraces();
    void ShowFit();
    void Save();
    void SaveImage();

    SweepRecorder& recorder_;
    SweepWindowPage view_;
};

// The list's line for a sweep: "2024-06-01 12:00:00  board 1, channel 1  8 points
// 0.1 .. 12.798 kHz", and "(running)" while it runs.
QString SweepListText(const Sweep& s, bool running);
// The result of a fit for people: each parameter with its standard error, and the residual.
QString SweepFitText(const Sweep& s);
