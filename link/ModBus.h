#pragma once
// The link module: the one object through which the console talks to the logger. It owns the
// serial port and the idle timer, holds the receiver and sender state, the electrode masks and
// the last decoded measurement, and writes what arrives into the main window's controls. Its
// state is its own: the window reads it and changes it only through the functions below.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "link/ConsoleView.h"
#include "link/Frame.h"
#include "link/LinkHealth.h"
#include "link/ProtocolCodes.h"
#include "records/LocalYear.h"
#include "records/MeasDecode.h"
#include "records/MeasRecord.h"
#include "records/ReportParser.h"
#include "serial/RS232.h"

class TMB : public QObject {
    Q_OBJECT
public:
    // The main window must exist first: the module reports to it from MBCreate on.
    explicit TMB(ConsoleView& view, QObject* parent = nullptr);

    // The serial port component, for its settings dialog and for tests that point it at their
    // own devices.
    TRS232& SerialPort() { return rs232_; }
    const TRS232& SerialPort() const { return rs232_; }

    // Creation: configuration file path, open the port, show the state, start polling.
    void MBCreate();
    // Reopens the port with the settings reloaded from the file and shows the result.
    void ReopenPort();

    void RS232Receive(uint8_t rec);
    void RS232Failure(TRS232* sender);
    void RS232OpenError(const QString& portName);
    void TimeoutTimerTimer();

    // Sender: the request being built is held being built; its checksum is computed while sending.
    void SendFrame();
    void SendShortRequest(Request code);
    void SendRequest2(Request code, uint8_t a, uint8_t b);
    void SendRequest3(Request code, uint8_t a, uint8_t b, uint8_t c);
    // Fills the sender's buffer with a request carrying the payload and sends it.
    void SendRequest(Request code, std::span<const uint8_t> payload);
    // The set requests, each built from the values of its settings controls.
    void SendPeriod();
    void SendMeasureParams();
    void SendFreqParams();
    void SendElectrodeMask();
    void SendReportSettings();
    void SendClock();
    void SendGprsNet();
    void SendDownloadRequest(int64_t first, int64_t amount);

    // Acts on the good answer held by the receiver.
    void DispatchAnswer();

    // A GPRS report item, completed by the report parser of the connection it came on: counted,
    // decoded and handed to the buffer (an item whose date cannot be is dropped and counted).
    void ReportItem(std::span<const uint8_t, ReportParser::ItemSize> item);

    // Receiver state (RxState, RxData, IdleTicks, ...).
    const FrameReceiver& Receiver() const { return rx_; }
    // The electrode mask of each of the 16 boards (0-based), as "Set mask" sends them.
    uint16_t BoardMask(int board) const { return electrodeMask_.at(static_cast<size_t>(board)); }
    void SetBoardMask(int board, uint16_t mask) {
        electrodeMask_.at(static_cast<size_t>(board)) = mask;
    }
    // Frame errors go to this sink; the last one is kept for diagnosis and each is counted by
    // its cause in Health, which the window shows.
    void ReportLinkError(const QString& msg);
    const QString& LastLinkError() const { return lastLinkError_; }
    const LinkHealth& Health() const { return health_; }
    // The item count of the logger's last data size answer (SizeTx shows it); none before one.
    std::optional<int64_t> DataSize() const { return dataSize_; }

private:
    void Status(const QString& text);
    void DropAnswer(LinkHealth::Cause cause, const QString& msg);
    // Decodes a measurement answer into the working values and the record.
    void DecodeMeasurement();
    void ShowMeasurement();
    void ShowSweepPoint();

    TRS232 rs232_;
    QTimer timeoutTimer_;
    FrameReceiver rx_;
    std::array<uint16_t, 16> electrodeMask_{};
    std::array<uint8_t, 64> txData_{}; // the request being built
    MeasValues working_{};
    TMeasRecord measRecord_{};
    QString lastLinkError_;
    LinkHealth health_;
    std::optional<int64_t> dataSize_;
    ConsoleView& view_;
    LocalYear year_;      // the year of the records, which carry none
    QElapsedTimer clock_; // for the answer deadline of Health
};
