#pragma once
// The port configuration dialog behind "Details": edits the line settings of a configuration
// record (bits per second, data bits, parity, stop bits, flow control). The record changes
// only when the operator accepts.
#include <QDialog>

#include "serial/CommConfig.h"

class QPushButton;
class RadioGroup;
class SpinEdit;

class TPortConfigDlg : public QDialog {
    Q_OBJECT
public:
    TPortConfigDlg(const QString& portName, TCommConfig& record, QWidget* owner = nullptr);

    // Shows the dialog modally for the named port; true when the operator accepted.
    static bool Execute(const QString& portName, QWidget* owner, TCommConfig& record);

    // Flow-control items of FlowGrp.
    enum Flow { FlowNone = 0, FlowHardware = 1, FlowXonXoff = 2 };

    // Writes the controls into the record and closes; refused while the rate is no positive
    // number.
    void accept() override;

    SpinEdit* BaudEd;
    RadioGroup* DataBitsGrp; // items "5" to "8"
    RadioGroup* ParityGrp;   // items in the order of the parity codes
    RadioGroup* StopBitsGrp; // items in the order of the stop-bit codes
    RadioGroup* FlowGrp;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* DefaultsBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowRecord();
    void RestoreDefaults();

    TCommConfig& record_;
};
