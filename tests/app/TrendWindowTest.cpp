// The trend windows of the console: opened from the "Data Preview" page, following the buffer,
// saving their picture.
#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QTabWidget>
#include <QTest>

#include "app/features/TrendImage.h"
#include "app/features/TrendWindow.h"
#include "app/script/ControlText.h"
#include "base/Failure.h"
#include "plot/PlotGeometry.h"
#include "tests/app/ConsoleFixture.h"
#include "widgets/SpinEdit.h"
#include "widgets/TrendPlot.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {
TMeasRecord Rec(int k, int board, int channel) {
    TMeasRecord r;
    r.Board = board;
    r.Channel = channel;
    r.Rx = 1 + k % 7;
    r.Xx = -0.1 * (k % 5);
    r.Counter = k;
    r.Time = 46000.5 + k / 1440.0;
    return r;
}

QString Shown(TrendWindow* w, const char* name) {
    w->Plot()->Picture(); // as a paint brings it up to date
    return ControlText(w->findChild<QWidget*>(name));
}
} // namespace

TEST_F(ConsoleFixture, TrendWindowsOpenOnTheBufferFollowItAndSaveTheirPicture) {
    Start();
    for (int k = 0; k < 30; ++k)
        window->AddRecord(Rec(k, 1, 11 - k % 3)); // board 2, channels 12, 11, 10, ...
    window->AddRecord(Rec(30, 0, 4));             // board 1
    Find<QTabWidget>("PageCtrl")->setCurrentWidget(Find("PrewSh"));
    Find<SpinEdit>("PwBrdEd")->SetValue(2);

    // "Trend..." opens on the board drawn and the channel of its newest item.
    Click("TrendBtn");
    QList<TrendWindow*> trends = window->findChildren<TrendWindow*>();
    ASSERT_EQ(trends.size(), 1);
    EXPECT_EQ(trends[0]->windowTitle(), "Trend - Board 2, Channel 10");
    EXPECT_TRUE(trends[0]->isVisible());
    EXPECT_EQ(Shown(trends[0], "TrendItemsTx"), "10 measurements");

    // A double click on the strip of channel 12 (row 4 of the right half) opens another.
    auto* pb = Find("PB");
    const PlotGeometry g(pb->width(), pb->height());
    QTest::mouseDClick(pb, Qt::LeftButton, {},
                       QPoint(g.HalfWidth() + 20, static_cast<int>(3.5 * g.RowHeight)));
    trends = window->findChildren<TrendWindow*>();
    ASSERT_EQ(trends.size(), 2);
    EXPECT_EQ(trends[1]->windowTitle(), "Trend - Board 2, Channel 12");

    // Both follow the buffer.
    window->AddRecord(Rec(31, 1, 9));
    window->AddRecord(Rec(32, 1, 9));
    window->AddRecord(Rec(33, 1, 11));
    EXPECT_EQ(Shown(trends[0], "TrendItemsTx"), "12 measurements");
    EXPECT_EQ(Shown(trends[1], "TrendItemsTx"), "11 measurements");

    // Board and channel are chosen in the window too.
    trends[1]->findChild<SpinEdit*>("TrendChEd")->SetText("3");
    EXPECT_EQ(trends[1]->windowTitle(), "Trend - Board 2, Channel 3");
    trends[1]->findChild<SpinEdit*>("TrendBrdEd")->SetText("1");
    EXPECT_EQ(trends[1]->windowTitle(), "Trend - Board 1, Channel 3");
    EXPECT_EQ(Shown(trends[1], "TrendItemsTx"), "0 measurements");

    // "Save image...": SVG for a name ending in .svg, else PNG at the plot's size.
    QTemporaryDir dir;
    const QString svg = dir.filePath("trend.svg");
    const QString png = dir.filePath("trend");
    scripted::QueueAnswer({scripted::AnswerKind::Path, svg});
    trends[0]->findChild<QAbstractButton*>("TrendSaveBtn")->click();
    QFile svgFile(svg);
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    const QByteArray drawing = svgFile.readAll();
    EXPECT_TRUE(drawing.contains("<svg")) << drawing.left(200).toStdString();
    EXPECT_TRUE(drawing.contains("Trend - Board 2, Channel 10"));
    scripted::QueueAnswer({scripted::AnswerKind::Path, png});
    trends[0]->findChild<QAbstractButton*>("TrendSaveBtn")->click();
    const QImage picture(png + ".png");
    EXPECT_EQ(picture.size(), trends[0]->Plot()->size());
    EXPECT_THROW(SaveTrendImage(*trends[0]->Plot(), dir.filePath("no/such/folder/t.png"), "t"),
                 Failure);

    // "Clear" empties the buffer, the table and every trend.
    Click("ClearBufBtn");
    EXPECT_EQ(Text("PoolItemsTx"), "0");
    EXPECT_EQ(Shown(trends[0], "TrendItemsTx"), "0 measurements");
    window->AddRecord(Rec(40, 1, 9));
    EXPECT_EQ(Text("PoolItemsTx"), "1");
    EXPECT_EQ(Shown(trends[0], "TrendItemsTx"), "1 measurement");
}
