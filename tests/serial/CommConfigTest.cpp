// The Windows configuration record and its mapping onto the Linux terminal settings.
#include <asm/termbits.h>
#include <cstring>
#include <gtest/gtest.h>

#include "serial/CommConfig.h"

namespace {
TCommConfig Record(uint32_t baud, uint8_t size, uint8_t parity, uint8_t stop, uint32_t flags = 0) {
    TCommConfig cfg{};
    cfg.dcb.BaudRate = baud;
    cfg.dcb.ByteSize = size;
    cfg.dcb.Parity = parity;
    cfg.dcb.StopBits = stop;
    cfg.dcb.Flags = flags;
    return cfg;
}

// A terminal as the kernel sets one up: cooked, echoing, with software flow control.
termios2 Cooked() {
    termios2 t{};
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | BRKINT | IGNPAR;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = B38400 | CS7 | PARENB | HUPCL;
    t.c_ispeed = t.c_ospeed = 38400;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    return t;
}

TEST(CommConfig, WindowsLayout) {
    TCommConfig cfg{};
    const auto* bytes = reinterpret_cast<const unsigned char*>(&cfg);
    cfg.dcb.Flags = 0x3011;
    cfg.dcb.StopBits = 2;
    // The flags word sits at offset 8 of the DCB, which starts at offset 8 of the record.
    EXPECT_EQ(bytes[16], 0x11);
    EXPECT_EQ(bytes[17], 0x30);
    EXPECT_EQ(bytes[8 + 20], 2);
}

TEST(CommConfig, LineSettingsRoundTrip) {
    for (uint8_t size = 5; size <= 8; ++size)
        for (uint8_t parity = 0; parity <= 4; ++parity)
            for (uint8_t stop : {uint8_t{0}, uint8_t{2}}) {
                termios2 t = Cooked();
                ASSERT_TRUE(CommConfigToTermios(Record(9600, size, parity, stop), t));
                TCommConfig back;
                CommConfigFromTermios(back, t);
                EXPECT_EQ(back.dcb.ByteSize, size);
                EXPECT_EQ(back.dcb.Parity, parity) << int(size);
                EXPECT_EQ(back.dcb.StopBits, stop);
                EXPECT_EQ(back.dcb.BaudRate, 9600u);
            }
}

TEST(CommConfig, ParityAndStopBitsInTermios) {
    termios2 t = Cooked();
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, dcbcodes::MarkParity, 1), t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), unsigned(PARENB | PARODD | CMSPAR));
    EXPECT_EQ(t.c_cflag & CSIZE, unsigned(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB); // one and a half stop bits become two
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 7, dcbcodes::SpaceParity, 0), t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), unsigned(PARENB | CMSPAR));
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, dcbcodes::OddParity, 0), t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), unsigned(PARENB | PARODD));
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, dcbcodes::NoParity, 0), t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), 0u);
}

TEST(CommConfig, BaudRates) {
    termios2 t = Cooked();
    ASSERT_TRUE(CommConfigToTermios(Record(115200, 8, 0, 0), t));
    EXPECT_EQ(t.c_cflag & CBAUD, unsigned(B115200));
    EXPECT_EQ(TermiosBaudRate(t), 115200u);
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, 0, 0), t));
    EXPECT_EQ(t.c_cflag & CBAUD, unsigned(B9600));
    // A rate no B constant names goes through BOTHER.
    ASSERT_TRUE(CommConfigToTermios(Record(14400, 8, 0, 0), t));
    EXPECT_EQ(t.c_cflag & CBAUD, unsigned(BOTHER));
    EXPECT_EQ(t.c_ospeed, 14400u);
    EXPECT_EQ(t.c_ispeed, 14400u);
    EXPECT_EQ(t.c_cflag & (CBAUD << IBSHIFT), 0u);
    EXPECT_EQ(TermiosBaudRate(t), 14400u);
}

TEST(CommConfig, RawLineKeepsHardwareFlowControl) {
    termios2 t = Cooked();
    t.c_cflag |= CRTSCTS;
    ASSERT_TRUE(CommConfigToTermios(Record(19200, 8, 0, 0), t));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & HUPCL);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), unsigned(CREAD | CLOCAL));
    // Every byte passes unchanged: no XON/XOFF, no CR/NL mapping, no echo, no signals.
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | BRKINT | IGNPAR | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    t.c_cflag &= ~static_cast<unsigned>(CRTSCTS);
    ASSERT_TRUE(CommConfigToTermios(Record(19200, 8, 0, 0), t));
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
}

TEST(CommConfig, ParityCheckingFollowsTheFlag) {
    termios2 t = Cooked();
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, 2, 0, dcbflags::Parity), t));
    EXPECT_TRUE(t.c_iflag & INPCK);
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, 2, 0, 0), t));
    EXPECT_FALSE(t.c_iflag & INPCK);
    ASSERT_TRUE(CommConfigToTermios(Record(9600, 8, 0, 0, dcbflags::Parity), t));
    EXPECT_FALSE(t.c_iflag & INPCK); // nothing to check without parity
}

TEST(CommConfig, RecordsTheLineCannotTakeAreRefusedWhole) {
    const termios2 before = Cooked();
    for (const TCommConfig& bad : {Record(0, 8, 0, 0), Record(9600, 4, 0, 0), Record(9600, 9, 0, 0),
                                   Record(9600, 8, 5, 0), Record(9600, 8, 0, 3)}) {
        termios2 t = before;
        EXPECT_FALSE(CommConfigToTermios(bad, t));
        EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0);
    }
}

TEST(CommConfig, FlagsAndHeaderFromTermios) {
    TCommConfig cfg;
    std::memset(&cfg, 0xAB, sizeof cfg);
    termios2 t = Cooked();
    CommConfigFromTermios(cfg, t);
    EXPECT_EQ(cfg.dwSize, 52u);
    EXPECT_EQ(cfg.dcb.DCBlength, 28u);
    EXPECT_EQ(cfg.dcb.BaudRate, 38400u);
    EXPECT_EQ(cfg.dcb.ByteSize, 7);
    EXPECT_EQ(cfg.dcb.Parity, dcbcodes::EvenParity);
    EXPECT_EQ(cfg.dcb.XonChar, 0x11);
    EXPECT_EQ(cfg.dcb.XoffChar, 0x13);
    EXPECT_EQ(cfg.dcb.wReserved1, 0); // refilled in full, no old bytes left
    // Binary, software flow both ways, DTR on, RTS on.
    EXPECT_EQ(cfg.dcb.Flags, dcbflags::Binary | dcbflags::OutX | dcbflags::InX | 0x1010u);

    t.c_iflag = INPCK;
    t.c_cflag |= CRTSCTS;
    CommConfigFromTermios(cfg, t);
    EXPECT_EQ(cfg.dcb.Flags, dcbflags::Binary | dcbflags::Parity | dcbflags::OutxCtsFlow | 0x2010u);
}
} // namespace
