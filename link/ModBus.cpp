#include "link/ModBus.h"

#include <algorithm>

#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "link/AnswerDecode.h"

TMB::TMB(ConsoleView& view, QObject* parent) : QObject(parent), view_(view) {
    RS232.OnReceive = [this](uint8_t b) { RS232Receive(b); };
    RS232.OnOpenError = [this](const QString& name) { RS232OpenError(name); };
    RS232.OnFailure = [this](TRS232* sender) { RS232Failure(sender); };
    Rx.onFrame = [this] { DispatchAnswer(); };
    Rx.onError = [this](FrameError e, const QString& msg) {
        DropAnswer(e == FrameError::TooLong    ? LinkHealth::Cause::TooLong
                   : e == FrameError::Checksum ? LinkHealth::Cause::Checksum
                                               : LinkHealth::Cause::BrokenOff,
                   msg);
    };
    TimeoutTimer.setInterval(100);
    connect(&TimeoutTimer, &QTimer::timeout, this,
            [this] { Guarded([this] { TimeoutTimerTimer(); }); });
    TimeoutTimer.start();
    clock_.start();
}

void TMB::MBCreate() {
    RS232.ConfigFile = ImpixPath(Place::Config, "Impix2.cfg");
    const bool ok = RS232.Open(true);
    view_.ShowConnectionState(ok);
    RS232.StartPolling();
}

void TMB::ReopenPort() {
    view_.ShowConnectionState(RS232.Open(true));
}

void TMB::RS232Receive(uint8_t rec) {
    Rx.Receive(rec);
}

// The component raises this on every tick while the port does not answer; the module only
// shows it and never closes or reopens the port by itself.
void TMB::RS232Failure(TRS232*) {
    view_.ShowConnectionState(false);
}

void TMB::RS232OpenError(const QString& portName) {
    view_.ErrorDlg(QString("Communication port %1 is not available now").arg(portName));
}

void TMB::TimeoutTimerTimer() {
    Rx.Tick();
    if (Health.Check(clock_.elapsed(), QDateTime::currentDateTime()))
        view_.ShowLinkHealth(Health);
}

void TMB::ReportLinkError(const QString& msg) {
    LastLinkError = msg;
}

void TMB::DropAnswer(LinkHealth::Cause cause, const QString& msg) {
    ReportLinkError(msg);
    Health.Dropped(cause, msg, QDateTime::currentDateTime());
    view_.ShowLinkHealth(Health);
}

void TMB::Status(const QString& text) {
    view_.ShowStatus(text);
}

void TMB::SendFrame() {
    Status("sending");
    Health.RequestSent(clock_.elapsed());
    const int length = TxData[2];
    uint8_t sum = 0;
    for (int i = 0; i < length; ++i) {
        RS232.SendByte(TxData[static_cast<size_t>(i)]);
        sum ^= TxData[static_cast<size_t>(i)];
    }
    RS232.SendByte(sum);
}

void TMB::SendRequest(Request code, std::span<const uint8_t> payload) {
    // The longest request of the command set carries 48 bytes; TxData holds 64.
    const size_t n = std::min(payload.size(), TxData.size() - 3);
    TxData[0] = frame::RequestStart;
    TxData[1] = CodeOf(code);
    TxData[2] = static_cast<uint8_t>(3 + n);
    std::copy_n(payload.begin(), n, TxData.begin() + 3);
    SendFrame();
    if (code == Request::StartFreqMeasure)
        view_.FreqMeasureStarted();
    else if (code == Request::SetFreqParams && n >= FreqParamsSize)
        view_.FreqParamsExchanged(ReadFreqParamsCodes(payload.data()));
}

void TMB::SendShortRequest(Request code) {
    SendRequest(code, {});
}

void TMB::SendRequest2(Request code, uint8_t a, uint8_t b) {
    const uint8_t payload[] = {a, b};
    SendRequest(code, payload);
}

void TMB::SendRequest3(Request code, uint8_t a, uint8_t b, uint8_t c) {
    const uint8_t payload[] = {a, b, c};
    SendRequest(code, payload);
}
