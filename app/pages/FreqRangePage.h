#pragma once
class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;
class SpinEdit;

// The controls of the page "Freq Range" that the window works on, named as the controls are.
struct FreqRangePage {
    SpinEdit* BegFreqEd = nullptr;
    SpinEdit* EndFreqEd = nullptr;
    SpinEdit* FreqMultEd = nullptr;
    SpinEdit* FreqVoltageEd = nullptr;
    SpinEdit* FRepEd = nullptr;
    SpinEdit* FBrdEd = nullptr;
    SpinEdit* FChnlEd = nullptr;
    QCheckBox* FMeasTypeChck = nullptr;
    QPushButton* GetFParamsBtn = nullptr;
    QPushButton* SetFParamsBtn = nullptr;
    QLabel* FFreqTx = nullptr;
    QLabel* FRangeTx = nullptr;
    QLabel* FRxTx = nullptr;
    QLabel* FXxTx = nullptr;
    QPushButton* FreqStartBtn = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* SweepBtn = nullptr;
};

// Fills the page "Freq Range" (TabSheet5): the frequency sweep's parameters, its last
// measured point and its start and stop.
FreqRangePage BuildFreqRangePage(QWidget* page);
