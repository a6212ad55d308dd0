#pragma once
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QWidget;
class SpectrumPlot;

// The controls of the window "Sweeps" (FSweep), named as the controls are: the list of sweeps,
// the chosen sweep's number of points and its points in a table, the Bode and Nyquist plots with
// the point under the pointer, "Fit" with its result, "Save..." and "Save image...".
struct SweepWindowPage {
    QListWidget* SweepLst = nullptr;
    QLabel* SweepPointsTx = nullptr;
    QTableWidget* SweepTbl = nullptr;
    SpectrumPlot* SweepPB = nullptr;
    QPushButton* SweepFitBtn = nullptr;
    QPushButton* SweepSaveBtn = nullptr;
    QPushButton* SweepImageBtn = nullptr;
    QLabel* SweepFitTx = nullptr;
    QLabel* SweepHoverTx = nullptr;
};

// Names the window FSweep, titles it "Sweeps" and lays out its controls: the list, the count and
// the table on the left, the buttons, the plots and the texts below them on the right.
SweepWindowPage BuildSweepWindowPage(QWidget* window);
