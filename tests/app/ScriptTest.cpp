// The real console program driven by scripts, against a pseudo-terminal.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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

// A misspelt option never starts a program with its defaults: one line on standard error, exit
// status 2, nothing else done (no archive, no window, no service).
TEST(CommandLine, EveryProgramRefusesUnknownOptionsAndMissingValues) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QFile quit(home.filePath("quit.txt"));
    ASSERT_TRUE(quit.open(QIODevice::WriteOnly) && quit.write("quit\n") == 5);
    quit.close();
    const QString script = quit.fileName();
    struct Case {
        const char* program;
        QStringList args;
        const char* error;
    };
    const Case cases[] = {
        // With a script that quits, a console that ignored the option would end with 0 at once.
        {"impix", {"--script", script, "--bogus"}, "impix: Unknown option 'bogus'."},
        {"impix",
         {"--script", script, "--reprot-port", "4100"},
         "impix: Unknown option 'reprot-port'."},
        {"impix",
         {"--script", script, "--report-port"},
         "impix: Missing value after '--report-port'."},
        {"impix", {"--script"}, "impix: Missing value after '--script'."},
        {"impix", {"--script", script, "--archive"}, "impix: Missing value after '--archive'."},
        {"impix", {"--script", script, "-bogus"}, "impix: Unknown option 'bogus'."},
        {"impix", {"--script", script, "stray"}, "impix: unexpected argument 'stray'"},
        {"impix",
         {"--script", script, "--report-port", "0"},
         "impix: --report-port needs a port number from 1 to 65535, not '0'"},
        {"impix",
         {"--script", script, "--archive", "a.db", "--no-archive"},
         "impix: --archive and --no-archive exclude each other"},
        {"impix-logger", {"--bogus"}, "impix-logger: Unknown option 'bogus'."},
        {"impix-logger", {"--link"}, "impix-logger: Missing value after '--link'."},
        {"impix-sheets",
         {"--idle-exit-ms", "100", "--bogus"},
         "impix-sheets: unknown option --bogus"},
        {"impix-sheets", {"--idle-exit-ms"}, "impix-sheets: --idle-exit-ms needs a value"},
        {"impix-sheets",
         {"--idle-exit-ms", "100", "--letters"},
         "impix-sheets: --letters needs a value"},
    };
    const QString build = qEnvironmentVariable("IMPIX_BUILD_DIR");
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 %2").arg(c.program, c.args.join(' ')).toStdString());
        QTemporaryDir data, runtime;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        env.insert("XDG_DATA_HOME", data.path());
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.path());
        program.start(build + "/" + c.program, c.args);
        ASSERT_TRUE(program.waitForStarted(10000));
        // A hang guard only: a refused command line ends at once.
        if (!program.waitForFinished(20000)) {
            program.kill();
            program.waitForFinished(5000);
            ADD_FAILURE() << "still running: the command line was taken";
            continue;
        }
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 2);
        EXPECT_EQ(program.readAllStandardError().toStdString(), std::string(c.error) + "\n");
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), "");
        EXPECT_TRUE(QDir(data.path()).isEmpty()) << "the archive was touched";
    }
}
