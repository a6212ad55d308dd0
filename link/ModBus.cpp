#include "link/ModBus.h"

#include <algorithm>

#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "link/AnswerDecode.h"

TMB::TMB(ConsoleView& view, QObject* parent) : QObject(parent), view_(view) {
    rs232_.OnReceive = [this](uint8_t b) { RS232Receive(b); };
    rs232_.OnOpenError = [this](const QString& name) { RS232OpenError(name); };
    rs232_.OnFailure = [this](TRS232* sender) { RS232Failure(sender); };
    rx_.onFrame = [this] { DispatchAnswer(); };
    rx_.onError = [this](FrameError e, const QString& msg) {
        DropAnswer(e == FrameError::TooLong    ? LinkHealth::Cause::TooLong
                   : e == FrameError::Checksum ? LinkHealth::Cause::Checksum
                                               : LinkHealth::Cause::BrokenOff,
                   msg);
    };
    timeoutTimer_.setInterval(100);
    connect(&timeoutTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { TimeoutTimerTimer(); }); });
    timeoutTimer_.start();
    clock_.start();
}

void TMB::MBCreate() {
    rs232_.ConfigFile = ImpixPath(Place::Config, "Impix2.cfg");
    const bool ok = rs232_.Open(true);
    view_.ShowConnectionState(ok);
    rs232_.StartPolling();
}

void TMB::ReopenPort() {
    view_.ShowConnectionState(rs232_.Open(true));
}

void TMB::RS232Receive(uint8_t rec) {
    rx_.Receive(rec);
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
    rx_.Tick();
    if (health_.Check(clock_.elapsed(), QDateTime::currentDateTime()))
        view_.ShowLinkHealth(health_);
}

void TMB::ReportLinkError(const QString& msg) {
    lastLinkError_ = msg;
}

void TMB::DropAnswer(LinkHealth::Cause cause, const QString& msg) {
    ReportLinkError(msg);
    health_.Dropped(cause, msg, QDateTime::currentDateTime());
    view_.ShowLinkHealth(health_);
}

void TMB::Status(const QString& text) {
    view_.ShowStatus(text);
}

void TMB::SendFrame() {
    Status("sending");
    health_.RequestSent(clock_.elapsed());
    const int length = txData_[2];
    uint8_t sum = 0;
    for (int i = 0; i < length; ++i) {
        rs232_.SendByte(txData_[static_cast<size_t>(i)]);
        sum ^= txData_[static_cast<size_t>(i)];
    }
    rs232_.SendByte(sum);
}

void TMB::SendRequest(Request code, std::span<const uint8_t> payload) {
    // The longest request of the command set carries 48 bytes; txData_ holds 64.
    const size_t n = std::min(payload.size(), txData_.size() - 3);
    txData_[0] = frame::RequestStart;
    txData_[1] = CodeOf(code);
    txData_[2] = static_cast<uint8_t>(3 + n);
    std::copy_n(payload.begin(), n, txData_.begin() + 3);
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
