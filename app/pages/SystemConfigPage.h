#pragma once
class QLineEdit;
class QPushButton;
class QWidget;
class SpinEdit;

// The controls of the page "System Config" that the window works on, named as the controls
// are.
struct SystemConfigPage {
    QLineEdit* ClockEd = nullptr;
    QPushButton* SynchronizeBtn = nullptr;
    QPushButton* GetTimeBtn = nullptr;
    QPushButton* SetTimeBtn = nullptr;
    QLineEdit* APNEd = nullptr;
    QLineEdit* ServIPEd = nullptr;
    QPushButton* GetGPRSnetBtn = nullptr;
    QPushButton* SetGPRSnetBtn = nullptr;
    SpinEdit* RepHourEd = nullptr;
    SpinEdit* RepMinEd = nullptr;
    SpinEdit* RetryRepEd = nullptr;
    QPushButton* GetGPRSrepBtn = nullptr;
    QPushButton* SetGPRSrepBtn = nullptr;
    QPushButton* GPRSforceBtn = nullptr;
};

// Fills the page "System Config" (TabSheet1): the logger's clock, its GPRS access point and
// report server, and its daily report settings.
SystemConfigPage BuildSystemConfigPage(QWidget* page);
