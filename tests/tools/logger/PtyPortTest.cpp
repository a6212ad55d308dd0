// The pseudo-terminal as the console sees it: a serial device that can be closed and reopened.
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QTest>
#include <gtest/gtest.h>

#include "tools/logger/PtyPort.h"

using namespace logger;

namespace {

int OpenSlave(const QString& path) {
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

// Reads from the console's side until `count` bytes came, within a bounded wait.
QByteArray ReadSlave(int fd, qsizetype count) {
    QByteArray got;
    // A short result shows in the caller's comparison.
    [[maybe_unused]] bool complete = QTest::qWaitFor(
        [&] {
            char buf[512];
            ssize_t n;
            while ((n = ::read(fd, buf, sizeof buf)) > 0)
                got.append(buf, static_cast<qsizetype>(n));
            return got.size() >= count;
        },
        10000);
    return got;
}

} // namespace

TEST(PtyPort, CarriesBytesBothWaysAcrossReopens) {
    PtyPort port;
    port.Open();
    ASSERT_TRUE(port.SlavePath().startsWith("/dev/"));
    QByteArray received;
    port.onBytes = [&](const QByteArray& b) { received += b; };

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        int fd = OpenSlave(port.SlavePath());
        ASSERT_GE(fd, 0);
        // Raw: no byte is translated or swallowed, CR, NUL and ^C included.
        const QByteArray request("\xA5\x00\x03\xA6\x0D\x0A\x03\x11\x13\x7F", 10);
        ASSERT_EQ(::write(fd, request.constData(), 10), 10);
        ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= 10; }, 10000));
        EXPECT_EQ(received, request);
        received.clear();

        const QByteArray answer("\x5A\xFF\x05\x03\x02\x0D\x00\x0A", 8);
        port.Write(answer.left(3));
        port.Write(answer.mid(3), 100); // after a pause
        EXPECT_EQ(ReadSlave(fd, 8), answer);
        ::close(fd); // the console closes its port; the next round opens it again
        QTest::qWait(50);
    }
}

TEST(PtyPort, QueuesWhatTheTerminalCannotTakeYet) {
    PtyPort port;
    port.Open();
    int fd = OpenSlave(port.SlavePath());
    ASSERT_GE(fd, 0);
    // Far more than a terminal buffers: the rest waits in the queue without blocking.
    QByteArray big(300000, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 251);
    port.Write(big);
    EXPECT_GT(port.Pending(), 0);
    EXPECT_EQ(ReadSlave(fd, big.size()), big);
    EXPECT_EQ(port.Pending(), 0);
    ::close(fd);
}

TEST(PtyPort, TakesBackTheExclusiveModeOfAConsoleThatDied) {
    PtyPort port;
    port.Open();
    const QString path = port.SlavePath();
    // Whether a console opening the port now would find it in exclusive mode (root opens it
    // regardless and asks).
    const auto exclusive = [&] {
        const int fd = OpenSlave(path);
        if (fd < 0)
            return errno == EBUSY;
        int on = 0;
        ::ioctl(fd, TIOCGEXCL, &on);
        ::close(fd);
        return on != 0;
    };
    // A console opens its port as the console does: the lock, then exclusive mode.
    int console = OpenSlave(path);
    ASSERT_GE(console, 0);
    ASSERT_EQ(::flock(console, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(::ioctl(console, TIOCEXCL), 0);
    QTest::qWait(2500); // a few checks pass while it runs
    EXPECT_TRUE(exclusive());

    ::close(console); // killed: no TIOCNXCL, only the kernel's close
    EXPECT_TRUE(QTest::qWaitFor([&] { return !exclusive(); }, 10000));
    console = OpenSlave(path);
    EXPECT_GE(console, 0);
    ::close(console);
}
