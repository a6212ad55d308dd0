#pragma once
// The link module: the one object through which the console talks to the logger. It owns the
// serial port and the idle timer, holds the receiver and sender state, the electrode masks and
// the last decoded measurement, and writes what arrives into the main window's controls.
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

    TRS232 RS232;
    QTimer TimeoutTimer;

    // Creation: configuration file path, open the port, show the state, start polling.
    void MBCreate();
    // Reopens the port with the settings reloaded from the file and shows the result.
    void ReopenPort();

    void RS232Receive(uint8_t rec);
    void RS232Failure(TRS232* sender);
    void RS232OpenError(const QString& portName);
    void TimeoutTimerTimer();

    // Sender: TxData holds the request being built; its checksum is computed while sending.
    void SendFrame();
    void SendShortRequest(Request code);
    void SendRequest2(Request code, uint8_t a, uint8_t b);
    void SendRequest3(Request code, uint8_t a, uint8_t b, uint8_t c);
    // Fills TxData with a request carrying the payload and sends it.
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
    FrameReceiver Rx;
    std::array<uint16_t, 16> ElectrodeMask{};
    std::array<uint8_t, 64> TxData{};
    MeasValues Working{};
    TMeasRecord MeasRecord{};
    // Frame errors go to this sink; the last one is kept for diagnosis and each is counted by
    // its cause in Health, which the window shows.
    void ReportLinkError(const QString& msg);
    QString LastLinkError;
    LinkHealth Health;
    // The item count of the logger's last data size answer (SizeTx shows it); none before one.
    std::optional<int64_t> DataSize;

private:
    void Status(const QString& text);
    void DropAnswer(LinkHealth::Cause cause, const QString& msg);
    // Decodes a measurement answer into the working values and MeasRecord.
    void DecodeMeasurement();
    void ShowMeasurement();
    void ShowSweepPoint();

    ConsoleView& view_;
    LocalYear year_;      // the year of the records, which carry none
    QElapsedTimer clock_; // for the answer deadline of Health
};
