// The real impix-logger program: its terminal link, its answers and its GPRS report.
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "LoggerTestUtil.h"
#include "buffer/BufferTextFile.h"
#include "records/MeasDecode.h"

namespace {

// The build folder comes from the test environment; run by hand, it is the test's parent folder.
QString Program() {
    QString dir = QString::fromLocal8Bit(qgetenv("IMPIX_BUILD_DIR"));
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + "/..";
    return dir + "/impix-logger";
}

// The emulator running on a link in a fresh folder, stopped with SIGTERM at the end.
struct Emulator {
    QTemporaryDir dir;
    QString link;
    QProcess process;
    int fd = -1;
    AnswerCollector answers;

    bool Start(QStringList extra = {}) {
        link = dir.path() + "/dev/COM2";
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(Program(), QStringList{"--link", link, "--seed", "11"} + extra);
        if (!process.waitForStarted(10000))
            return false;
        // The path is printed once the link is in place.
        if (!QTest::qWaitFor([&] { return process.canReadLine(); }, 10000))
            return false;
        QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
        if (!line.startsWith("impix-logger: /dev/"))
            return false;
        if (QFileInfo(link).symLinkTarget() != line.mid(14))
            return false;
        fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return false;
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
        return true;
    }

    void Send(Request code, std::vector<uint8_t> payload = {}) {
        std::vector<uint8_t> f = frame::Build(frame::RequestStart, CodeOf(code), payload);
        ASSERT_EQ(::write(fd, f.data(), f.size()), static_cast<ssize_t>(f.size()));
    }

    // Waits (bounded) until an answer with the code arrived.
    bool WaitFor(uint8_t code, int count = 1) {
        return QTest::qWaitFor(
            [&] {
                uint8_t buf[512];
                ssize_t n;
                while ((n = ::read(fd, buf, sizeof buf)) > 0)
                    answers.Feed(std::span<const uint8_t>(buf, static_cast<size_t>(n)));
                return Count(code) >= count;
            },
            15000);
    }
    int Count(uint8_t code) const {
        return static_cast<int>(
            std::count_if(answers.frames.begin(), answers.frames.end(),
                          [&](const AnswerFrame& f) { return f.code == code; }));
    }

    // SIGTERM, a clean exit, and the link gone.
    void Stop() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_FALSE(QFileInfo(link).isSymLink());
    }

    ~Emulator() {
        if (fd >= 0)
            ::close(fd);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

} // namespace

TEST(LoggerProgram, AnswersThroughItsLinkAndRemovesItOnSigterm) {
    Emulator e;
    ASSERT_TRUE(e.Start()) << "the emulator did not come up at " << Program().toStdString();
    e.Send(Request::GetVersion);
    ASSERT_TRUE(e.WaitFor(255));
    EXPECT_EQ(e.answers.frames[0].data, (std::vector<uint8_t>{3, 2}));
    EXPECT_TRUE(e.answers.errors.isEmpty());
    e.Stop();
}

TEST(LoggerProgram, ReplacesAStaleLinkAndCopesWithBadChecksums) {
    Emulator e;
    QDir().mkpath(e.dir.path() + "/dev");
    ASSERT_TRUE(QFile::link("/nonexistent/old", e.dir.path() + "/dev/COM2"));
    ASSERT_TRUE(e.Start({"--bad-checksum-every", "2", "--noise", "5"})) << Program().toStdString();
    for (int i = 0; i < 4; ++i)
        e.Send(Request::GetPeriod);
    ASSERT_TRUE(e.WaitFor(254, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return e.answers.errors.size() >= 2; }, 10000));
    EXPECT_EQ(e.answers.errors, QStringList({"CRC error", "CRC error"}));
    e.Stop();
}

TEST(LoggerProgram, MeasuresAndReportsOverTcp) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QByteArray report;
    bool closed = false;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&, peer] { report += peer->readAll(); });
        QObject::connect(peer, &QTcpSocket::disconnected, [&] { closed = true; });
    });

    Emulator e;
    ASSERT_TRUE(e.Start({"--period-ms", "30", "--report-host", "127.0.0.1", "--report-port",
                         QString::number(server.serverPort())}));
    e.Send(Request::StartMeasure);
    ASSERT_TRUE(e.WaitFor(124));
    ASSERT_TRUE(e.WaitFor(5, 8)); // two periods of four channels
    e.Send(Request::StopMeasure);
    ASSERT_TRUE(e.WaitFor(124, 2));
    e.Send(Request::GetDataSize);
    ASSERT_TRUE(e.WaitFor(121));
    const AnswerFrame& size = *std::find_if(e.answers.frames.begin(), e.answers.frames.end(),
                                            [](const AnswerFrame& f) { return f.code == 121; });
    int stored = (size.data[0] << 16) | (size.data[1] << 8) | size.data[2];
    EXPECT_EQ(stored, e.Count(5));

    e.Send(Request::ForceGprsReport);
    ASSERT_TRUE(e.WaitFor(248));
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 15000));
    ASSERT_EQ(report.size(), stored * 11);
    // The report items are the measurements' first ten bytes, in order.
    int item = 0;
    for (const AnswerFrame& f : e.answers.frames) {
        if (f.code != 5)
            continue;
        EXPECT_EQ(static_cast<uint8_t>(report[item * 11]), 0xA5);
        EXPECT_EQ(report.mid(item * 11 + 1, 10),
                  QByteArray(reinterpret_cast<const char*>(f.data.data()), 10));
        ++item;
    }
    e.Stop();
}

TEST(LoggerProgram, DumpsItsStoredItemsAsTheConsolesFileLinesOnSigusr1AndOnExit) {
    Emulator e;
    const QString dump = e.dir.path() + "/items.txt";
    ASSERT_TRUE(e.Start({"--period-ms", "30", "--dump-items", dump}));
    e.Send(Request::StartMeasure);
    ASSERT_TRUE(e.WaitFor(124));
    ASSERT_TRUE(e.WaitFor(5, 8));
    e.Send(Request::StopMeasure);
    ASSERT_TRUE(e.WaitFor(124, 2));
    // Every measurement sent is stored: the dump holds each as the console would save it.
    QByteArray expected;
    for (const AnswerFrame& f : e.answers.frames)
        if (f.code == 5)
            expected +=
                ItemLine(DecodeMeasurement(f.data.data(), QDate::currentDate().year()).record,
                         FormatSettings::system()) +
                "\r\n";
    auto read = [&] {
        QFile f(dump);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_FALSE(QFileInfo::exists(dump));
    ::kill(static_cast<pid_t>(e.process.processId()), SIGUSR1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(dump); }, 10000));
    EXPECT_EQ(read(), expected);
    // The logger goes on after SIGUSR1 and writes the dump again as it ends.
    ASSERT_TRUE(QFile::remove(dump));
    e.Send(Request::GetVersion);
    ASSERT_TRUE(e.WaitFor(255));
    e.Stop();
    EXPECT_EQ(read(), expected);
}
