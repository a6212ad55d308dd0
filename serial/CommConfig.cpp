#include "serial/CommConfig.h"

#include <asm/termbits.h>
#include <optional>

namespace {
struct StandardRate {
    uint32_t rate;
    unsigned code;
};

constexpr StandardRate kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The data-bit count in CSIZE form (CS5 is 0), nothing for a count the line cannot carry.
std::optional<unsigned> SizeBits(uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return std::nullopt;
    }
}

uint8_t ByteSizeOf(unsigned cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}
} // namespace

uint32_t TermiosBaudRate(const termios2& t) {
    const unsigned code = t.c_cflag & CBAUD;
    if (code != BOTHER)
        for (const StandardRate& r : kRates)
            if (r.code == code)
                return r.rate;
    return t.c_ospeed;
}

void CommConfigFromTermios(TCommConfig& cfg, const termios2& t) {
    using namespace dcbflags;
    cfg = TCommConfig{};
    cfg.dwSize = sizeof(TCommConfig);
    cfg.wVersion = 1;
    cfg.dwProviderSubType = 1; // PST_RS232
    TDcb& dcb = cfg.dcb;
    dcb.DCBlength = sizeof(TDcb);
    dcb.BaudRate = TermiosBaudRate(t);
    dcb.ByteSize = ByteSizeOf(t.c_cflag);
    if (!(t.c_cflag & PARENB))
        dcb.Parity = dcbcodes::NoParity;
    else if (t.c_cflag & CMSPAR)
        dcb.Parity = (t.c_cflag & PARODD) ? dcbcodes::MarkParity : dcbcodes::SpaceParity;
    else
        dcb.Parity = (t.c_cflag & PARODD) ? dcbcodes::OddParity : dcbcodes::EvenParity;
    dcb.StopBits = (t.c_cflag & CSTOPB) ? dcbcodes::TwoStopBits : dcbcodes::OneStopBit;

    const bool hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    uint32_t f = Binary; // Windows supports binary mode only
    if ((t.c_cflag & PARENB) && (t.c_iflag & INPCK))
        f |= Parity;
    if (hardwareFlow)
        f |= OutxCtsFlow;
    if (t.c_iflag & IXON)
        f |= OutX;
    if (t.c_iflag & IXOFF)
        f |= InX;
    f = WithDtrControl(f, ControlEnable);
    f = WithRtsControl(f, hardwareFlow ? ControlHandshake : ControlEnable);
    dcb.Flags = f;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
}

bool CommConfigToTermios(const TCommConfig& cfg, termios2& t) {
    const TDcb& dcb = cfg.dcb;
    const std::optional<unsigned> size = SizeBits(dcb.ByteSize);
    if (dcb.BaudRate == 0 || !size || dcb.Parity > dcbcodes::SpaceParity ||
        dcb.StopBits > dcbcodes::TwoStopBits)
        return false;

    // Raw line: bytes pass unchanged both ways, no echo, no signals, no flow-control bytes.
    t.c_iflag &= ~static_cast<unsigned>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | IGNPAR | INPCK);
    if (dcb.Parity != dcbcodes::NoParity && (dcb.Flags & dcbflags::Parity))
        t.c_iflag |= INPCK;
    t.c_oflag &= ~static_cast<unsigned>(OPOST);
    t.c_lflag &= ~static_cast<unsigned>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    // Hardware flow control and the hang-up-on-close choice stay as the port has them.
    unsigned c = t.c_cflag & ~static_cast<unsigned>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB |
                                                    CBAUD | (CBAUD << IBSHIFT));
    c |= *size | CREAD | CLOCAL;
    switch (dcb.Parity) {
    case dcbcodes::OddParity:
        c |= PARENB | PARODD;
        break;
    case dcbcodes::EvenParity:
        c |= PARENB;
        break;
    case dcbcodes::MarkParity:
        c |= PARENB | CMSPAR | PARODD;
        break;
    case dcbcodes::SpaceParity:
        c |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != dcbcodes::OneStopBit)
        c |= CSTOPB; // one and a half stop bits do not exist here; two are the nearest
    unsigned code = BOTHER;
    for (const StandardRate& r : kRates)
        if (r.rate == dcb.BaudRate)
            code = r.code;
    c |= code; // the input speed follows the output speed (CIBAUD left 0)
    t.c_cflag = c;
    t.c_ispeed = dcb.BaudRate;
    t.c_ospeed = dcb.BaudRate;
    return true;
}
