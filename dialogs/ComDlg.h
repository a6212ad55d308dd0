#pragma once
// "COM Settings": picks the port number and, through "Details", the line settings of one serial
// component. OK reopens the port with the settings as they stand; Cancel puts back the settings
// found when the dialog was shown and reopens with them. Saving is left to the caller.
// Below the number, the serial devices present: picking one points the number's COM<n> link
// at it, so nobody needs a shell to connect a logger.
#include <QDialog>
#include <QMap>
#include <QTimer>
#include <cstdint>
#include <vector>

#include "serial/DeviceList.h"

class QFrame;
class QLabel;
class QListWidget;
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
    QLabel* DeviceLbl;
    QListWidget* DeviceLst; // the devices present, refreshed while shown

    // Where the device list looks (tests point it at a folder of their own).
    serialdev::DeviceRoots Roots;

    void FormShow();
    void ComEdChange();
    void OKClick();
    void CancelClick();
    void DetailyClick();
    bool FormCloseQuery() const;
    // The operator picked the device in DeviceLst's current row for the number in ComEd.
    void DeviceLstPick();
    // Lists the devices present again, keeping the selection.
    void RefreshDevices();

    // The window's close box (and any other close that is neither OK nor Cancel): allowed only
    // while FormCloseQuery allows it.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CloseWith(int result);
    void ShowDevicePath();
    void PutLinksBack();

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

    QTimer refreshTimer_;
    std::vector<serialdev::DeviceEntry> devices_; // in DeviceLst's order
    bool filling_ = false; // DeviceLst changes by the program, not by the operator
    // Each COM<n> link changed since showing, with its target then (null: there was none).
    QMap<int, QString> linksBefore_;
};

// The serial component's settings operation: runs "COM Settings" modally for the port, with its
// polling paused, then saves the port's settings to its configuration file.
void ShowSettings(TRS232& port);
