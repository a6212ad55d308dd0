// The serial component against pseudo-terminals: open, configure, polled reception, writes,
// loss detection and reopening.
#include <QTest>
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <vector>

#include "base/EventGuard.h"
#include "base/Failure.h"
#include "serial/RS232.h"
#include "serial/SerialDevice.h"
#include "support/PtyDevice.h"

namespace {
class PortTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.IsOpen());
        devices.Link(5, pty.SlavePath());
        rs.DeviceFolder = devices.Path();
        rs.Port = 5;
        rs.OnReceive = [this](uint8_t b) { received.push_back(b); };
        rs.OnOpenError = [this](const QString& name) { openErrors << name; };
        rs.OnFailure = [this](TRS232* sender) {
            EXPECT_EQ(sender, &rs);
            ++failures;
        };
    }
    void TearDown() override { SetFailureHandler(nullptr); }

    static QByteArray Bytes(int from, int count) {
        QByteArray b;
        for (int i = 0; i < count; ++i)
            b.append(static_cast<char>(from + i));
        return b;
    }
    QByteArray Received() const {
        return QByteArray(reinterpret_cast<const char*>(received.data()),
                          static_cast<qsizetype>(received.size()));
    }
    // Bytes the driver holds for the component, not yet read.
    int Waiting() const {
        int n = 0;
        return ::ioctl(rs.ComHandle(), FIONREAD, &n) == 0 ? n : -1;
    }

    PtyDevice pty;
    DeviceFolder devices;
    TRS232 rs;
    std::vector<uint8_t> received;
    QStringList openErrors;
    int failures = 0;
};

TEST_F(PortTest, DevicePathFollowsTheLink) {
    EXPECT_EQ(rs.DevicePath(), devices.Path() + "COM5");
    rs.Port = 3;
    EXPECT_EQ(rs.DevicePath(), "/dev/ttyS2");
    devices.Link(3, devices.Path() + "gone"); // a link to nothing still names the device
    EXPECT_EQ(rs.DevicePath(), devices.Path() + "COM3");
    rs.DeviceFolder = devices.Path().chopped(1); // a folder given without the separator
    EXPECT_EQ(rs.DevicePath(), devices.Path() + "COM3");
}

TEST_F(PortTest, OpenConfiguresARawLine) {
    rs.Baud = 14400;
    rs.Length = 7;
    rs.Parity = 3;
    rs.Stop = 1;
    ASSERT_TRUE(rs.Open(false));
    EXPECT_TRUE(rs.Connected());
    EXPECT_GT(rs.ComHandle(), 2);
    EXPECT_TRUE(openErrors.isEmpty());

    termios2 t{};
    ASSERT_EQ(::ioctl(rs.ComHandle(), TCGETS2, &t), 0);
    // A pseudo-terminal always carries 8 data bits without parity; the rest it takes.
    EXPECT_EQ(TermiosBaudRate(t), 14400u);
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), unsigned(PARODD | CMSPAR));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    // The record holds what the port was given, flags as the port has them.
    EXPECT_EQ(rs.FCommConfig.dcb.BaudRate, 14400u);
    EXPECT_EQ(rs.FCommConfig.dcb.StopBits, 1);
    EXPECT_TRUE(rs.FCommConfig.dcb.Flags & dcbflags::Binary);
    EXPECT_EQ(rs.Flags, 12305); // the property is not touched
}

TEST_F(PortTest, OpenWithReloadReadsTheFileOnlyWhenNamed) {
    rs.Baud = 19200;
    ASSERT_TRUE(rs.Open(true)); // no file named: the properties as they stand
    EXPECT_EQ(rs.Baud, 19200);
    termios2 t{};
    ASSERT_EQ(::ioctl(rs.ComHandle(), TCGETS2, &t), 0);
    EXPECT_EQ(TermiosBaudRate(t), 19200u);

    QTemporaryDir dir;
    rs.ConfigFile = dir.path() + "/Impix2.cfg";
    QFile f(rs.ConfigFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COM]\nPORT=5\nBAUDRATE=4800\n");
    f.close();
    ASSERT_TRUE(rs.Open(true));
    EXPECT_EQ(rs.Baud, 4800);
    ASSERT_EQ(::ioctl(rs.ComHandle(), TCGETS2, &t), 0);
    EXPECT_EQ(TermiosBaudRate(t), 4800u);
}

TEST_F(PortTest, MissingDeviceReportsAndFailsEveryTick) {
    devices.Link(9, devices.Path() + "nothing-here");
    rs.Port = 9;
    EXPECT_FALSE(rs.Open(true));
    EXPECT_FALSE(rs.Connected());
    EXPECT_EQ(rs.ComHandle(), -1);
    EXPECT_EQ(openErrors, QStringList{"COM9"});

    rs.StartPolling();
    EXPECT_TRUE(WaitUntil([&] { return failures >= 3; })); // one per tick, for ever
    EXPECT_FALSE(rs.Connected());
    rs.SendByte(0x41); // dropped without a word
    EXPECT_EQ(openErrors.size(), 1);
}

TEST_F(PortTest, WithoutAnOpenErrorHandlerTheMessageIsShown) {
    QStringList shown;
    const auto old = TRS232::FallbackMessage;
    TRS232::FallbackMessage = [&](const QString& text) { shown << text; };
    rs.OnOpenError = nullptr;
    rs.Port = 4000;
    EXPECT_FALSE(rs.Open(false));
    TRS232::FallbackMessage = old;
    EXPECT_EQ(shown, QStringList{"Zvolená komunikační zásuvka COM4000 není nainstalována nebo je "
                                 "využívána jinou aplikací"});
}

TEST_F(PortTest, APortInUseFailsToOpen) {
    // Another program that holds the port in exclusive mode without a lock: refused also when
    // running as root, and its exclusive mode stays.
    const int held = ::open(pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::ioctl(held, TIOCEXCL), 0);
    const Result<int> opened = serialdev::Open(pty.SlavePath());
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().osError, EBUSY);
    int exclusive = 0;
    EXPECT_EQ(::ioctl(held, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    ::ioctl(held, TIOCNXCL);
    ::close(held);

    ASSERT_TRUE(rs.Open(false));
    TRS232 other;
    other.DeviceFolder = devices.Path();
    other.Port = 5;
    QStringList errors;
    other.OnOpenError = [&](const QString& name) { errors << name; };
    EXPECT_FALSE(other.Open(false));
    EXPECT_EQ(errors, QStringList{"COM5"});
    EXPECT_EQ(other.ComHandle(), -1);
    EXPECT_TRUE(rs.Connected());
}

TEST_F(PortTest, TwentyBytesArriveInOneTickInOrder) {
    ASSERT_TRUE(rs.Open(false));
    // Bytes a cooked terminal would eat or change: ^C, ^D, CR, LF, XON, XOFF.
    const QByteArray sent = Bytes(0, 20);
    pty.Write(sent);
    ASSERT_TRUE(WaitUntil([&] { return Waiting() == 20; }));
    rs.PollPort();
    EXPECT_EQ(Received(), sent);
    EXPECT_EQ(failures, 0);

    rs.StartPolling();
    pty.Write(Bytes(100, 20));
    EXPECT_TRUE(WaitUntil([&] { return received.size() == 40; }));
    EXPECT_EQ(Received(), sent + Bytes(100, 20));
    Spin(250); // a few quiet ticks: a pseudo-terminal counts as answering
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(rs.Connected());
}

TEST_F(PortTest, NoByteLostInALongBurst) {
    ASSERT_TRUE(rs.Open(false));
    rs.StartPolling();
    QByteArray sent;
    for (int i = 0; i < 200000; ++i)
        sent.append(static_cast<char>((i * 31 + i / 256) & 0xFF));
    pty.Write(sent); // more than the driver holds: written as the component drains
    EXPECT_TRUE(WaitUntil([&] { return received.size() >= size_t(sent.size()); }, 30000));
    EXPECT_EQ(Received(), sent);
}

TEST_F(PortTest, AThrowingHandlerLosesNoBytes) {
    QStringList shown;
    SetFailureHandler([&](const QString& text) { shown << text; });
    bool thrown = false;
    rs.OnReceive = [&](uint8_t b) {
        received.push_back(b);
        if (b == 4 && !thrown) {
            thrown = true;
            throw Failure("bad byte");
        }
    };
    ASSERT_TRUE(rs.Open(false));
    pty.Write(Bytes(0, 20));
    ASSERT_TRUE(WaitUntil([&] { return Waiting() == 20; }));
    EXPECT_THROW(rs.PollPort(), Failure);
    EXPECT_EQ(Received(), Bytes(0, 5));

    // The rest stays queued for the next tick, ahead of what comes later.
    rs.StartPolling();
    pty.Write(Bytes(20, 5));
    EXPECT_TRUE(WaitUntil([&] { return received.size() == 25; }));
    EXPECT_EQ(Received(), Bytes(0, 25));

    // From the timer, the failure goes to the failure handler, not across the event loop.
    thrown = false;
    received.clear();
    pty.Write(Bytes(0, 10));
    EXPECT_TRUE(WaitUntil([&] { return received.size() == 10; }));
    EXPECT_EQ(Received(), Bytes(0, 10));
    EXPECT_EQ(shown, QStringList{"bad byte"});
}

TEST_F(PortTest, SendByteWritesOnlyWhileConnected) {
    // Before any open.
    rs.SendByte(0x55);
    ASSERT_TRUE(rs.Open(false));
    rs.SendByte(0x11);
    rs.SendByte(0x13);
    rs.SendByte(0x0A);
    rs.SendByte(0xFF);
    EXPECT_EQ(pty.Read(4), QByteArray("\x11\x13\x0A\xFF")); // unchanged, no CR added

    // A failed open: nothing goes out.
    rs.Port = 9;
    EXPECT_FALSE(rs.Open(false));
    rs.SendByte(0x41);
    // An open handle that is not connected (as after "Details" with the port down): dropped.
    rs.Port = 5;
    ASSERT_TRUE(rs.OpenHandle());
    EXPECT_FALSE(rs.Connected());
    rs.SendByte(0x42);
    EXPECT_EQ(pty.Read(1, 300), QByteArray());
    ASSERT_TRUE(rs.Open(false));
    rs.SendByte(0x43);
    EXPECT_EQ(pty.Read(1), QByteArray("C"));
}

TEST_F(PortTest, VanishedDeviceIsAFailureAndReopenWorks) {
    ASSERT_TRUE(rs.Open(true));
    rs.StartPolling();
    Spin(250);
    EXPECT_EQ(failures, 0);

    pty.Close();
    EXPECT_TRUE(WaitUntil([&] { return failures >= 2; }));
    EXPECT_FALSE(rs.Connected());
    EXPECT_GT(rs.ComHandle(), 0); // kept until the next open
    rs.SendByte(0x41);            // dropped

    // The device comes back at another path behind the same link.
    PtyDevice back;
    ASSERT_TRUE(back.IsOpen());
    devices.Link(5, back.SlavePath());
    EXPECT_TRUE(rs.Open(true));
    EXPECT_TRUE(rs.Connected());
    const int before = failures;
    back.Write("ok");
    EXPECT_TRUE(WaitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(Received(), "ok");
    EXPECT_EQ(failures, before);
    rs.SendByte('!');
    EXPECT_EQ(back.Read(1), "!");
}

TEST_F(PortTest, PollingPausesAndDestroyClosesOnlyItsOwnHandle) {
    rs.StartPolling();
    EXPECT_TRUE(rs.PollingEnabled());
    rs.SetPollingEnabled(false);
    EXPECT_FALSE(rs.PollingEnabled());
    Spin(250);
    EXPECT_EQ(failures, 0); // no tick while paused, though nothing is open

    // Handle 0 means "never opened": destroying such a component leaves descriptor 0 alone.
    const bool stdinOpen = ::fcntl(0, F_GETFD) != -1;
    { TRS232 never; }
    EXPECT_EQ(::fcntl(0, F_GETFD) != -1, stdinOpen);

    int fd = -1;
    {
        TRS232 opened;
        opened.DeviceFolder = devices.Path();
        opened.Port = 5;
        ASSERT_TRUE(opened.Open(false));
        fd = opened.ComHandle();
        EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    // Its lock went with it: the port opens again.
    EXPECT_TRUE(rs.Open(false));
}
} // namespace
