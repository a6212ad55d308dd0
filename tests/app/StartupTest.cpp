// Start-up defaults, the connection page, port loss and reconnect, and the version request.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/ApplicationIdentity.h"
#include "app/pages/Looks.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "tests/app/ConsoleFixture.h"
#include "widgets/RadioGroup.h"

TEST_F(ConsoleFixture, FirstShowAppliesTheDefaults) {
    Start();
    EXPECT_EQ(window->windowTitle(), "Impix II.  version 3.2");
    EXPECT_EQ(Find<QTabWidget>("PageCtrl")->currentWidget()->objectName(), "MeasureSh");
    EXPECT_EQ(Find<RadioGroup>("ConGrp")->ItemIndex(), 0);
    EXPECT_EQ(Find<QStackedWidget>("ConBook")->currentWidget()->objectName(), "pg_USB");
    EXPECT_EQ(Text("ComStatusTx"), "Idle");
    EXPECT_EQ(Text("SocketStateLabel"), "Idle");
    EXPECT_EQ(Text("ChannelGrp"), " Board 1 ");
    EXPECT_EQ(Text("PoolItemsTx"), "0");
    EXPECT_TRUE(Text("SrcFileEd").endsWith("/Data.txt"));
    EXPECT_TRUE(Text("ExFileNameEd").endsWith("/Data.xlsx"));
    EXPECT_EQ(Text("ComStatusLx"), "Connected");
    EXPECT_EQ(looks::TextColor(Find("ComStatusLx")), QColor(0, 128, 0));

    const QStringList captions = {"Connection", "Measure Config", "Freq Range",  "System Config",
                                  "Download",   "Excel export",   "Data Buffer", "Data Preview"};
    auto* pages = Find<QTabWidget>("PageCtrl");
    ASSERT_EQ(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i)
        EXPECT_EQ(pages->tabText(i), captions[i]);
}

TEST_F(ConsoleFixture, WithoutADeviceTheConsoleStartsDisconnectedAndSaysWhichPort) {
    testing::internal::CaptureStdout();
    Start(false);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("dialog: Impix II. - Chyba: Communication port COM2 is not available now"),
              std::string::npos)
        << out;
    EXPECT_EQ(Text("ComStatusLx"), "Disconnected");
    EXPECT_EQ(looks::TextColor(Find("ComStatusLx")), QColor(255, 0, 0));
    // Requests still go "out": the bytes are dropped, the status shows the attempt.
    Click("VersionInfoBtn");
    EXPECT_EQ(Text("ComStatusTx"), "sending");
}

TEST_F(ConsoleFixture, ConnectionTypeOnlyChangesTheVisiblePage) {
    Start();
    auto* book = Find<QStackedWidget>("ConBook");
    auto* type = Find<RadioGroup>("ConGrp");
    type->PickItem(1);
    EXPECT_EQ(book->currentWidget()->objectName(), "pg_LAN");
    type->PickItem(2);
    EXPECT_EQ(book->currentWidget()->objectName(), "pg_GPRS");
    type->PickItem(0);
    EXPECT_EQ(book->currentWidget()->objectName(), "pg_USB");
    EXPECT_EQ(Text("ComStatusLx"), "Connected");

    for (int i = 0; i < 5; ++i)
        window->ShowConnectionState(false);
    EXPECT_EQ(Text("ComStatusLx"), "Disconnected");
}

TEST_F(ConsoleFixture, AHangUpShowsDisconnectedAndConnectReopens) {
    Start();
    ASSERT_EQ(Text("ComStatusLx"), "Connected");
    pty.Close();
    EXPECT_TRUE(WaitUntil([&] { return Text("ComStatusLx") == "Disconnected"; }));

    PtyDevice again;
    ASSERT_TRUE(LinkDevice(devDir.path(), 2, again.SlavePath()));
    Click("ReconnectBtn");
    EXPECT_EQ(Text("ComStatusLx"), "Connected");
    Click("VersionInfoBtn");
    EXPECT_EQ(again.Read(4), QByteArray::fromHex("A50003A6"));
}

TEST_F(ConsoleFixture, VersionGetSendsTheRequestAndTheAnswerFillsTheLabel) {
    Start();
    Click("VersionInfoBtn");
    EXPECT_EQ(Text("ComStatusTx"), "sending");
    EXPECT_EQ(pty.Read(4), QByteArray::fromHex("A50003A6"));

    pty.Write(QByteArray::fromHex("5AFF050102A3"));
    EXPECT_TRUE(WaitUntil([&] { return Text("VersionTx") == "1.2"; }));
    EXPECT_EQ(Text("ComStatusTx"), "OK");
}

TEST_F(ConsoleFixture, AFailureInAHandlerIsShownAndTheProgramGoesOn) {
    Start();
    QString shown;
    SetFailureHandler([&](const QString& text) { shown = text; });
    Guarded([] { throw Failure("File access denied"); });
    EXPECT_EQ(shown, "File access denied");
    Click("VersionInfoBtn");
    EXPECT_EQ(Text("ComStatusTx"), "sending");
}

// The window icon is the icon theme's "impix" wherever one is installed, else the program's own.
TEST(ApplicationIdentity, WindowIconFromTheIconThemeElseBuiltIn) {
    // A desktop's icon theme; the offscreen platform has none.
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeName("hicolor");
    struct Case {
        bool installed;
        const char* name;
    };
    for (const Case c : {Case{true, "impix"}, Case{false, ""}}) {
        SCOPED_TRACE(c.installed ? "installed" : "not installed");
        QTemporaryDir share;
        ASSERT_TRUE(share.isValid());
        const QString theme = share.filePath("icons/hicolor");
        ASSERT_TRUE(QDir().mkpath(theme + "/48x48/apps"));
        QFile index(theme + "/index.theme");
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n"
                    "[48x48/apps]\nSize=48\nType=Fixed\n");
        index.close();
        if (c.installed) {
            QImage red(48, 48, QImage::Format_ARGB32);
            red.fill(Qt::red);
            ASSERT_TRUE(red.save(theme + "/48x48/apps/impix.png"));
        }
        QIcon::setThemeSearchPaths({share.filePath("icons")});
        SetApplicationIdentity();
        const QIcon icon = QApplication::windowIcon();
        EXPECT_EQ(icon.name(), c.name);
        const QImage shown = icon.pixmap(48, 48).toImage();
        ASSERT_FALSE(shown.isNull()); // the built-in one when no theme has it
        EXPECT_EQ(shown.pixelColor(24, 24) == QColor(Qt::red), c.installed);
    }
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeName);
    EXPECT_EQ(QApplication::applicationName(), "Impix II.");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.impix.Console");
}
