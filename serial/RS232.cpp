#include "serial/RS232.h"

#include <cstdio>

#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "serial/IniFile.h"
#include "serial/SerialDevice.h"

namespace {
const QString kSection = QStringLiteral("COM");
constexpr int kPollInterval = 100; // ms
constexpr int kDefaultFlags = 12305;
// Most bytes taken from the driver in one tick: a line that never pauses must not hold the
// UI thread for ever. What is left waits, in order, for the next tick.
constexpr std::size_t kTickLimit = 65535;
} // namespace

std::function<void(const QString&)> TRS232::FallbackMessage = [](const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
};

TRS232::TRS232(QObject* owner) : QObject(owner) {
    pollTimer_.setInterval(kPollInterval);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { Guarded([this] { PollPort(); }); });
}

TRS232::~TRS232() {
    pollTimer_.stop();
    OnReceive = nullptr;
    if (handle_ > 0)
        CloseHandle();
}

void TRS232::CloseHandle() {
    serialdev::Close(handle_);
}

QString TRS232::GetPortName() const {
    return "COM" + QString::number(Port);
}

QString TRS232::LinkFolder() const {
    QString folder = DeviceFolder.isEmpty() ? ImpixPath(Place::Config, "dev/") : DeviceFolder;
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QString TRS232::DevicePath() const {
    return serialdev::DevicePath(LinkFolder(), Port);
}

void TRS232::LoadSettings() {
    if (ConfigFile.isEmpty())
        return;
    const IniFile ini(ConfigFile);
    Port = ini.ReadInteger(kSection, "PORT", 2);
    Baud = ini.ReadInteger(kSection, "BAUDRATE", 9600);
    Length = static_cast<uint8_t>(ini.ReadInteger(kSection, "LENGTH", 8) & 0xFF);
    Parity = static_cast<uint8_t>(ini.ReadInteger(kSection, "PARITY", 0) & 0xFF);
    Flags = ini.ReadInteger(kSection, "FLAGS", kDefaultFlags);
    Stop = static_cast<uint8_t>(ini.ReadInteger(kSection, "STOP", 0) & 0xFF);
}

void TRS232::SaveSettings() {
    if (ConfigFile.isEmpty())
        return;
    if (Flags < 0)
        Flags = kDefaultFlags;
    IniFile ini(ConfigFile);
    ini.WriteInteger(kSection, "PORT", Port);
    ini.WriteInteger(kSection, "BAUDRATE", Baud);
    ini.WriteInteger(kSection, "LENGTH", Length);
    ini.WriteInteger(kSection, "PARITY", Parity);
    ini.WriteInteger(kSection, "FLAGS", Flags);
    ini.WriteInteger(kSection, "STOP", Stop);
    ini.Save();
}

bool TRS232::OpenHandle() {
    const QString name = GetPortName();
    if (handle_ > 0)
        CloseHandle();
    handle_ = serialdev::Open(DevicePath()).value_or(-1);
    deviceGone_ = false;
    if (handle_ > 0)
        return true;
    if (OnOpenError)
        OnOpenError(name);
    else if (FallbackMessage)
        FallbackMessage("Zvolená komunikační zásuvka " + name +
                        " není nainstalována nebo je využívána jinou aplikací");
    return false;
}

bool TRS232::ReadConfig() {
    return handle_ > 0 && serialdev::ReadConfig(handle_, FCommConfig);
}

bool TRS232::Open(bool reload) {
    if (reload)
        LoadSettings();
    bool ok = OpenHandle();
    ReadConfig(); // after a failed open the record keeps what it held
    FCommConfig.dcb.BaudRate = static_cast<uint32_t>(Baud);
    FCommConfig.dcb.ByteSize = Length;
    FCommConfig.dcb.Parity = Parity;
    FCommConfig.dcb.StopBits = Stop;
    if (ok)
        ok = Configure();
    connected_ = ok;
    serialdev::RaiseRts(handle_);
    return ok;
}

bool TRS232::Configure() {
    if (!OpenHandle())
        return false;
    serialdev::ApplyConfig(handle_, FCommConfig);
    // The Windows queue sizes and time-outs have no counterpart here: the kernel's buffers are
    // fixed, reads never wait and SendByte bounds its own wait. There is no latched error
    // state to clear either, and waiting input is never thrown away.
    return true;
}

void TRS232::StartPolling() {
    pollTimer_.start();
}

bool TRS232::PollingEnabled() const {
    return pollTimer_.isActive();
}

void TRS232::SetPollingEnabled(bool on) {
    if (!on)
        pollTimer_.stop();
    else if (!pollTimer_.isActive())
        pollTimer_.start();
}

void TRS232::PollPort() {
    if (deviceGone_ || !serialdev::Answering(handle_)) {
        connected_ = false;
        if (OnFailure)
            OnFailure(this);
    }
    // A port that stopped answering is still drained: bytes that came before the loss are
    // delivered. Each byte leaves the queue before its call, so a throwing handler loses none
    // of the others and a handler that runs the event loop cannot see a byte twice.
    std::size_t budget = kTickLimit;
    for (;;) {
        if (handle_ > 0 && budget > 0) {
            const std::size_t before = received_.size();
            if (!serialdev::ReadWaiting(handle_, received_, budget))
                deviceGone_ = true;
            budget -= std::min(budget, received_.size() - before);
        }
        if (received_.empty())
            return;
        while (!received_.empty()) {
            const uint8_t byte = received_.front();
            received_.pop_front();
            if (OnReceive)
                OnReceive(byte);
        }
    }
}

void TRS232::SendByte(uint8_t value) {
    if (handle_ <= 0 || !connected_)
        return;
    serialdev::WriteByte(handle_, value);
}
