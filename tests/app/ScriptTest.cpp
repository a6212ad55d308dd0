// The real console program driven by scripts, against a pseudo-terminal.
#include <QFile>
#include <QtEndian>
#include <gtest/gtest.h>

#include "support/ConsoleSandbox.h"
#include "support/PtyDevice.h"

TEST(Script, ConnectsAndSendsTheVersionRequest) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    PtyDevice pty;
    ASSERT_TRUE(LinkDevice(console.DevFolder(), 2, pty.SlavePath()));
    const ConsoleResult r = console.Run("print ComStatusLx\n"
                                        "print ComStatusTx\n"
                                        "click VersionInfoBtn\n"
                                        "wait 200\n"
                                        "print ComStatusTx\n"
                                        "print FImpixMain\n"
                                        "quit\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.Printed("ComStatusLx"), "Connected");
    EXPECT_EQ(r.Printed("ComStatusTx"), "sending");
    EXPECT_EQ(r.Printed("FImpixMain"), "Impix II.  version 3.2");
    EXPECT_EQ(pty.Read(4), QByteArray::fromHex("A50003A6"));
}

TEST(Script, WithoutADeviceTheStartUpMessageIsPrintedAndTheConsoleGoesOn) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    const ConsoleResult r = console.Run("print ComStatusLx\nprint ComStatusTx\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.out.contains("dialog: Impix II. - Chyba: Communication port COM2 is not available now"))
        << r.out.toStdString();
    EXPECT_EQ(r.Printed("ComStatusLx"), "Disconnected");
    EXPECT_EQ(r.Printed("ComStatusTx"), "Idle");
}

TEST(Script, UnknownCommandsAndControlsEndWithStatusTwo) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    ConsoleResult r = console.Run("answer ok\nfrobnicate Something\n");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("frobnicate")) << r.err.toStdString();
    r = console.Run("answer ok\nclick NoSuchButton\nprint ComStatusTx\n");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("NoSuchButton"));
    EXPECT_TRUE(r.Printed("ComStatusTx").isNull());
    // The device list is reached by name; an entry it lacks is an error too.
    r = console.Run("answer ok\nclick ComSettingsBtn\nprint DeviceLst\nset DeviceLst 9999\n");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("no item 9999 in DeviceLst")) << r.err.toStdString();
    EXPECT_FALSE(r.Printed("DeviceLst").isNull()) << r.out.toStdString();
}

TEST(Script, SettingsDialogSavesTheSixKeys) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    PtyDevice pty;
    ASSERT_TRUE(LinkDevice(console.DevFolder(), 3, pty.SlavePath()));
    // No device on COM2 at start; choose COM3 in the dialog and press OK.
    const ConsoleResult r = console.Run("answer ok\n"
                                        "click ComSettingsBtn\n"
                                        "set ComEd 3\n"
                                        "click BitBtn3\n"
                                        "click ReconnectBtn\n"
                                        "print ComStatusLx\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.Printed("ComStatusLx"), "Connected") << r.out.toStdString();
    QFile cfg(console.ConfigFile());
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(cfg.readAll());
    EXPECT_TRUE(text.contains("[COM]"));
    for (const char* key :
         {"PORT=3", "BAUDRATE=9600", "LENGTH=8", "PARITY=0", "FLAGS=12305", "STOP=0"})
        EXPECT_TRUE(text.contains(key)) << key << "\n" << text.toStdString();
    EXPECT_LT(text.indexOf("PORT="), text.indexOf("STOP="));
}

TEST(Script, OpensATrendWindowChoosesItsChannelAndTakesItsPicture) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    const QString picture = console.Folder() + "/trend.png";
    const ConsoleResult r = console.Run("answer ok\n"
                                        "page PrewSh\n"
                                        "set PwBrdEd 3\n"
                                        "click TrendBtn\n"
                                        "print FTrend\n"
                                        "set TrendChEd 12\n"
                                        "set TrendLogChck 1\n"
                                        "print FTrend\n"
                                        "print TrendItemsTx\n"
                                        "grab FTrend " +
                                        picture +
                                        "\n"
                                        // A second window: the script reaches the newer one.
                                        "set PwBrdEd 5\n"
                                        "click TrendBtn\n"
                                        "set TrendChEd 7\n"
                                        "print FTrend\n");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList titles = r.out.split('\n').filter("FTrend=");
    EXPECT_EQ(titles, QStringList({"FTrend=Trend - Board 3, Channel 1",
                                   "FTrend=Trend - Board 3, Channel 12",
                                   "FTrend=Trend - Board 5, Channel 7"}));
    EXPECT_EQ(r.Printed("TrendItemsTx"), "0 measurements");
    // A PNG picture of the whole window: its size from the header.
    QFile png(picture);
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    const QByteArray head = png.read(24);
    ASSERT_EQ(head.size(), 24);
    EXPECT_TRUE(head.startsWith("\x89PNG"));
    EXPECT_GE(qFromBigEndian<quint32>(head.constData() + 16), 640u);
    EXPECT_GE(qFromBigEndian<quint32>(head.constData() + 20), 400u);
}
