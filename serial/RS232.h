#pragma once
// The serial port component: line settings (kept in section "COM" of the configuration file),
// open and reopen, single-byte writes, and a 100 ms poll on the UI thread that hands every
// received byte to OnReceive and reports a port that stops answering through OnFailure.
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "serial/CommConfig.h"

class TRS232 : public QObject {
    Q_OBJECT
public:
    explicit TRS232(QObject* owner = nullptr);
    ~TRS232() override;

    // Published properties.
    QString ConfigFile; // empty: settings are neither loaded nor saved
    int Port = 2;
    int Baud = 9600;
    uint8_t Length = 8;
    uint8_t Parity = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int Flags = 12305;  // line control flags word; stored and edited, never applied
    uint8_t Stop = 0;   // 0 one, 1 one and a half, 2 two
    bool Connected() const { return connected_; }
    int ComHandle() const { return handle_; } // 0 before the first open, -1 after a failed one

    std::function<void(uint8_t)> OnReceive;
    std::function<void(TRS232*)> OnTimeout; // never raised
    std::function<void(const QString&)> OnOpenError;
    std::function<void(TRS232*)> OnFailure;

    // Shows the port message when OnOpenError is unassigned. The program installs its message
    // box (ShowMessage) at start; until then the text goes to standard error.
    static std::function<void(const QString&)> FallbackMessage;

    // Optionally reloads the settings, opens and configures the port; returns Connected.
    bool Open(bool reload);
    void StartPolling();
    bool PollingEnabled() const;
    void SetPollingEnabled(bool on);
    // Writes one byte; dropped silently while not connected.
    void SendByte(uint8_t value);
    // "COM" + Port.
    QString GetPortName() const;
    // The device that the port number resolves to: DeviceFolder/COM<n> when that link exists,
    // else /dev/ttyS<n-1>.
    QString DevicePath() const;
    // Folder of the COM<n> links; ImpixPath(Place::Config, "dev/") unless set.
    QString DeviceFolder;
    // DeviceFolder as in use, ending in a path separator.
    QString LinkFolder() const;

    // Section "COM" of ConfigFile. SaveSettings throws Failure("Unable to write to <file>:
    // <reason>").
    void LoadSettings();
    void SaveSettings();

    // Internal steps, used by the settings dialog too.
    bool OpenHandle();
    bool Configure();
    void PollPort();
    // Reads the open port's line settings into FCommConfig; false when no port is open.
    bool ReadConfig();
    TCommConfig FCommConfig{};

private:
    void CloseHandle();

    QTimer pollTimer_;
    int handle_ = 0;
    bool connected_ = false;
    // A read found the device gone; the port counts as not answering until the next open.
    bool deviceGone_ = false;
    // Bytes taken from the driver and not yet handed to OnReceive (one call may throw).
    std::deque<uint8_t> received_;
};
