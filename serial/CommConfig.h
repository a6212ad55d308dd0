#pragma once
// The port configuration record in its Windows layout (COMMCONFIG holding a DCB), so that the
// stored parity and stop-bit codes and the Flags word keep their Windows meaning, and its
// mapping onto the Linux terminal settings.
#include <cstddef>
#include <cstdint>

struct termios2; // <asm/termbits.h>; kept out of this header so it clashes with no <termios.h>

// Win32 DCB, 28 bytes.
struct TDcb {
    uint32_t DCBlength;
    uint32_t BaudRate;
    uint32_t Flags; // the DCB's 32-bit bit field, kept as one word (bits below)
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;
    uint8_t Parity;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits; // 0 one, 1 one and a half, 2 two
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
};

// Win32 COMMCONFIG, 52 bytes.
struct TCommConfig {
    uint32_t dwSize;
    uint16_t wVersion;
    uint16_t wReserved;
    TDcb dcb;
    uint32_t dwProviderSubType;
    uint32_t dwProviderOffset;
    uint32_t dwProviderSize;
    uint16_t wcProviderData[1];
    uint16_t padding; // the record's trailing alignment, written out for a fixed size
};

static_assert(sizeof(TDcb) == 28);
static_assert(offsetof(TDcb, BaudRate) == 4);
static_assert(offsetof(TDcb, Flags) == 8);
static_assert(offsetof(TDcb, XonLim) == 14);
static_assert(offsetof(TDcb, ByteSize) == 18);
static_assert(offsetof(TDcb, Parity) == 19);
static_assert(offsetof(TDcb, StopBits) == 20);
static_assert(offsetof(TDcb, XonChar) == 21);
static_assert(offsetof(TDcb, EvtChar) == 25);
static_assert(offsetof(TDcb, wReserved1) == 26);
static_assert(sizeof(TCommConfig) == 52);
static_assert(offsetof(TCommConfig, dcb) == 8);
static_assert(offsetof(TCommConfig, dwProviderSubType) == 36);
static_assert(offsetof(TCommConfig, wcProviderData) == 48);

// Bits of TDcb::Flags.
namespace dcbflags {
constexpr uint32_t Binary = 1u << 0;
constexpr uint32_t Parity = 1u << 1; // parity checking
constexpr uint32_t OutxCtsFlow = 1u << 2;
constexpr uint32_t OutxDsrFlow = 1u << 3;
constexpr int DtrControlShift = 4; // 2 bits
constexpr uint32_t DsrSensitivity = 1u << 6;
constexpr uint32_t TXContinueOnXoff = 1u << 7;
constexpr uint32_t OutX = 1u << 8;
constexpr uint32_t InX = 1u << 9;
constexpr int RtsControlShift = 12; // 2 bits
constexpr uint32_t AbortOnError = 1u << 14;

constexpr uint32_t ControlMask = 3u;
constexpr uint32_t ControlDisable = 0;
constexpr uint32_t ControlEnable = 1;
constexpr uint32_t ControlHandshake = 2;
constexpr uint32_t ControlToggle = 3; // RTS only

inline uint32_t DtrControl(uint32_t f) {
    return (f >> DtrControlShift) & ControlMask;
}
inline uint32_t RtsControl(uint32_t f) {
    return (f >> RtsControlShift) & ControlMask;
}
inline uint32_t WithDtrControl(uint32_t f, uint32_t v) {
    return (f & ~(ControlMask << DtrControlShift)) | ((v & ControlMask) << DtrControlShift);
}
inline uint32_t WithRtsControl(uint32_t f, uint32_t v) {
    return (f & ~(ControlMask << RtsControlShift)) | ((v & ControlMask) << RtsControlShift);
}
} // namespace dcbflags

namespace dcbcodes {
constexpr uint8_t NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3, SpaceParity = 4;
constexpr uint8_t OneStopBit = 0, One5StopBits = 1, TwoStopBits = 2;
} // namespace dcbcodes

// Fills the record from the port's terminal settings: the record's header fields, baud rate,
// data bits, parity, stop bits and the flags word (binary mode always, parity checking, CTS and
// XON/XOFF flow control; DTR on; RTS handshake with hardware flow control, else on).
void CommConfigFromTermios(TCommConfig& cfg, const termios2& t);

// Puts the record's line settings into t as a raw 8-bit line: baud rate (through BOTHER when no
// standard rate matches), data bits, parity (mark and space with CMSPAR) and stop bits (one and
// a half becomes two), receiver on, modem lines ignored. Hardware flow control stays as t has
// it; software flow control is off, since it would swallow the protocol's 0x11 and 0x13 bytes.
// Returns false, leaving t untouched, when the record holds a setting the line cannot take
// (baud rate 0, data bits outside 5 to 8, unknown parity or stop-bit code), as the Windows
// driver refuses such a record as a whole.
bool CommConfigToTermios(const TCommConfig& cfg, termios2& t);

// The baud rate t carries (its output speed).
uint32_t TermiosBaudRate(const termios2& t);
