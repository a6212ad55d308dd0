#pragma once
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;
class RadioGroup;
class SpinEdit;

// The controls of the page "Measure Config" that the window works on, named as the controls
// are; the channel boxes Ch1SelChck to Ch16SelChck in their order.
struct MeasurePage {
    QLabel* VersionTx = nullptr;
    QPushButton* VersionInfoBtn = nullptr;
    SpinEdit* PerHourEd = nullptr;
    SpinEdit* PerMinEd = nullptr;
    QPushButton* GetPeriodBtn = nullptr;
    QPushButton* SetPeriodBtn = nullptr;
    SpinEdit* FreqEd = nullptr;
    SpinEdit* VoltageEd = nullptr;
    SpinEdit* LatEd = nullptr;
    SpinEdit* RepEd = nullptr;
    QCheckBox* MeasTypeChck = nullptr;
    QPushButton* GetParamsBtn = nullptr;
    QPushButton* SetParamsBtn = nullptr;
    QPushButton* EnableBtn = nullptr;
    QPushButton* DisableBtn = nullptr;
    QPushButton* BitBtn1 = nullptr;
    RadioGroup* BoardGrp = nullptr;
    QGroupBox* ChannelGrp = nullptr;
    std::array<QCheckBox*, 16> ChSelChck{};
    QPushButton* ClearSelectionBtn = nullptr;
    QPushButton* SetSelectionBtn = nullptr;
    QPushButton* GetMaskBtn = nullptr;
    QPushButton* SetMaskBtn = nullptr;
    QLabel* BrdTx = nullptr;
    QLabel* ChTx = nullptr;
    QLabel* RangeTx = nullptr;
    QLabel* RealTx = nullptr;
    QLabel* ImagTx = nullptr;
    QLabel* CntTx = nullptr;
    QLabel* TimeLabel = nullptr;
};

// Fills the page "Measure Config" (MeasureSh): firmware version, measure period, measure
// parameters, electrode selection, measure actions and the last measured value.
MeasurePage BuildMeasurePage(QWidget* page);
