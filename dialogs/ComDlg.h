#pragma once
// "COM Settings": picks the port number and, through "Details", the line settings of one serial
// component. OK reopens the port with the settings as they stand; Cancel puts back the settings
// found when the dialog was shown and reopens with them. Saving is left to the caller.
#include <QDialog>
#include <cstdint>

class QFrame;
class QLabel;
class QPushButton;
class SpinEdit;
class TRS232;

class TComDlg : public QDialog {
    Q_OBJECT
public:
    explicit TComDlg(TRS232* comPort, QWidget* parent = nullptr);

    QPushButton* BitBtn3; // OK
    QPushButton* BitBtn2; // Cancel
    QPushButton* BitBtn1; // Details
    QFrame* Panel1;
    QLabel* Label1;
    SpinEdit* ComEd;
    QLabel* DevicePathTx; // the device the number resolves to

    void FormShow();
    void ComEdChange();
    void OKClick();
    void CancelClick();
    void DetailyClick();
    bool FormCloseQuery() const;

    // The window's close box (and any other close that is neither OK nor Cancel): allowed only
    // while FormCloseQuery allows it.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CloseWith(int result);
    void ShowDevicePath();

    struct Settings {
        int Port = 0;
        int Baud = 0;
        uint8_t Length = 0;
        uint8_t Parity = 0;
        int Flags = 0;
        uint8_t Stop = 0;
    };

    TRS232* ComPort;
    Settings FSaved;
    bool FDetailsUsed = false;
    bool FReopenFailed = false;
};

// The serial component's settings operation: runs "COM Settings" modally for the port, with its
// polling paused, then saves the port's settings to its configuration file.
void ShowSettings(TRS232& port);
