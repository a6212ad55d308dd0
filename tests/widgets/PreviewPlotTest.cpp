// The preview plot widget, rendered offscreen and read back pixel by pixel.
#include <QCoreApplication>
#include <QImage>
#include <QPalette>
#include <gtest/gtest.h>

#include "buffer/RecordStream.h"
#include "widgets/PreviewPlot.h"

namespace {
const QRgb Navy = qRgb(0, 0, 128);
const QRgb Yellow = qRgb(255, 255, 0);
const QRgb Lime = qRgb(0, 255, 0);
const QRgb Fuchsia = qRgb(255, 0, 255);

TMeasRecord Rec(int board, int channel, double rx) {
    TMeasRecord r;
    r.Board = board;
    r.Channel = channel;
    r.Rx = rx;
    return r;
}

// Yellow pixels in the rectangle x0 <= x < x1, y0 <= y < y1.
int CountColour(const QImage& img, QRgb colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x)
            n += img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

struct Plot {
    RecordStream pool;
    PreviewPlot widget;
    QString channelText = "X", boardText = "X";
    Plot() {
        widget.resize(433, 493);
        widget.SetPool(&pool);
        widget.SetTextOutputs([this](const QString& s) { channelText = s; },
                              [this](const QString& s) { boardText = s; });
        widget.show(); // as with its page active: the pool's new items are drawn at once
    }
    void Add(const TMeasRecord& r) { pool.Append(r); }
    QImage Picture() { return widget.Picture().convertToFormat(QImage::Format_ARGB32); }
};

// Strip 1 (channel 1) spans rows 0..61; 1000 sits on row 31.
constexpr int Y1000 = 31;
} // namespace

TEST(PreviewPlot, EmptyPoolShowsTheFrame) {
    Plot p;
    EXPECT_EQ(p.widget.objectName(), PreviewPlot::ControlName);
    const QImage img = p.widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(img.size(), QSize(433, 493));
    EXPECT_EQ(img.pixel(100, 30), Navy);
    EXPECT_EQ(img.pixel(300, 400), Navy);
    EXPECT_EQ(img.pixel(432, 486), Navy); // the bottom grid line covers rows 488 and 489
    EXPECT_EQ(CountColour(img, Yellow, 0, 0, 433, 493), 0);
    // Grid lines in the button colour, two pixels wide, and the divider.
    const QRgb button = p.widget.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(CountColour(img, button, 100, 59, 101, 64), 2);
    EXPECT_EQ(CountColour(img, button, 214, 200, 219, 201), 2);
    // Channel numbers in lime at the top left of each strip of both halves.
    EXPECT_GT(CountColour(img, Lime, 2, 1, 20, 20), 0);
    EXPECT_GT(CountColour(img, Lime, 218, 429, 240, 450), 0);
    EXPECT_EQ(CountColour(img, Lime, 30, 20, 200, 55), 0);
    // The bottom four rows are not painted.
    EXPECT_EQ(qAlpha(p.Picture().pixel(100, 490)), 0);
    EXPECT_EQ(p.Picture().pixel(100, 489), p.widget.palette().color(QPalette::Button).rgb());
    EXPECT_EQ(p.channelText, "X");
    EXPECT_EQ(p.boardText, "X");
}

TEST(PreviewPlot, CurvesBreakAtOverflowsAndLabelTheLastValue) {
    Plot p;
    for (double rx : {1.0, 1.0, 1.0, 65535.0, 1.0, 65535.0})
        p.pool.Append(Rec(0, 0, rx));
    const QImage img = p.Picture();
    // Points 0..2 join up, 3 is an overflow, 4 starts again with a dash, 5 draws nothing.
    for (int x : {0, 1, 2, 4})
        EXPECT_EQ(img.pixel(x, Y1000), Yellow) << x;
    EXPECT_EQ(CountColour(img, Yellow, 3, 0, 4, 61), 0);
    EXPECT_EQ(CountColour(img, Yellow, 5, 0, 433, 493), 0);
    EXPECT_EQ(CountColour(img, Yellow, 0, 0, 433, 493), 4);
    // The label of strip 1 ("0") is fuchsia on navy above the strip's bottom line.
    EXPECT_GT(CountColour(img, Fuchsia, 2, 46, 60, 61), 0);
    EXPECT_EQ(CountColour(img, Fuchsia, 2, 107, 60, 122), 0); // strip 2 has no points
    EXPECT_EQ(p.channelText, "1");
    EXPECT_EQ(p.boardText, "1");
}

TEST(PreviewPlot, ScrollsAndRepaintsWhenTheWindowIsFull) {
    Plot p;
    for (int i = 0; i < 200; ++i)
        p.pool.Append(Rec(0, 0, 1.0));
    QImage img = p.Picture();
    const int64_t paints = p.widget.FullPaints();
    // The newest point sits at x = 162; 199 - 162 = 37 points scrolled out.
    EXPECT_EQ(p.widget.State().FirstPoint(), 37);
    EXPECT_EQ(img.pixel(162, Y1000), Yellow);
    EXPECT_EQ(img.pixel(163, Y1000), Navy);
    EXPECT_EQ(CountColour(img, Yellow, 0, 0, 433, 493), 163);

    // Live points extend the picture without a full paint, 53 of them.
    for (int i = 1; i <= 53; ++i)
        p.Add(Rec(0, 0, 0.01)); // 10
    img = p.Picture();
    EXPECT_EQ(p.widget.FullPaints(), paints);
    EXPECT_EQ(img.pixel(163, Y1000), Yellow); // the line down to 10 starts at 1000's row
    const int y10 = p.widget.State().Geometry().ValueY(1, 10);
    EXPECT_EQ(img.pixel(215, y10), Yellow);
    EXPECT_EQ(p.widget.State().FirstPoint(), 37);

    // The 54th no longer fits: a full paint moves the newest point back to x = 162.
    p.Add(Rec(0, 0, 0.01));
    img = p.Picture();
    EXPECT_EQ(p.widget.FullPaints(), paints + 1);
    EXPECT_EQ(p.widget.State().FirstPoint(), 91);
    EXPECT_EQ(img.pixel(162, y10), Yellow);
    EXPECT_EQ(CountColour(img, Yellow, 163, 0, 433, 493), 0);
}

TEST(PreviewPlot, DrawsTheSelectedBoardOnly) {
    Plot p;
    for (int i = 0; i < 10; ++i) {
        p.pool.Append(Rec(1, 0, 1.0)); // board 2, channel 1
        p.pool.Append(Rec(0, 9, 1.0)); // board 1, channel 10
    }
    p.pool.Append(Rec(1, 16, 1.0)); // board 2, channel 17: no strip
    p.pool.Append(Rec(0, 16, 1.0)); // board 1, channel 17
    QImage img = p.Picture();
    // Channel 10 is row 2 of the right half; its points start at x = 218.
    const int y = p.widget.State().Geometry().ValueY(2, 1000);
    EXPECT_EQ(CountColour(img, Yellow, 218, y, 228, y + 1), 10);
    EXPECT_EQ(CountColour(img, Yellow, 0, 0, 433, 493), 10);
    EXPECT_EQ(p.channelText, "17");
    EXPECT_EQ(p.boardText, "1");

    p.widget.SetBoard(2);
    img = p.Picture();
    EXPECT_EQ(CountColour(img, Yellow, 0, Y1000, 10, Y1000 + 1), 10);
    EXPECT_EQ(CountColour(img, Yellow, 0, 0, 433, 493), 10);
    EXPECT_EQ(p.channelText, "17"); // the last record of the pool, whatever its board
    EXPECT_EQ(p.boardText, "1");

    // A live record of another board or without a strip draws nothing but sets the texts.
    p.Add(Rec(0, 0, 1.0));
    p.Add(Rec(1, 200, 1.0));
    EXPECT_EQ(CountColour(p.Picture(), Yellow, 0, 0, 433, 493), 10);
    EXPECT_EQ(p.channelText, "201");
    EXPECT_EQ(p.boardText, "2");
}

TEST(PreviewPlot, TheItemsOfOnePassAreDrawnTogetherAsAFullPaintWouldDrawThem) {
    Plot p;
    p.Add(Rec(0, 0, 1.0));
    p.Picture();
    const int64_t paints = p.widget.FullPaints();
    // Three channels, overflows among them, another board, and a last record without a strip.
    for (int k = 0; k < 150; ++k)
        p.Add(Rec(k % 11 == 0 ? 1 : 0, k % 3 + 8 * (k % 2), k % 13 == 0 ? 65535.0 : 0.1 + k % 7));
    p.Add(Rec(2, 40, 1.0));
    QCoreApplication::processEvents(); // the pass
    EXPECT_EQ(p.channelText, "41");
    EXPECT_EQ(p.boardText, "3");
    const QImage live = p.Picture();
    EXPECT_EQ(p.widget.FullPaints(), paints);
    p.widget.Invalidate();
    const QImage full = p.Picture();
    EXPECT_EQ(p.widget.FullPaints(), paints + 1);
    EXPECT_EQ(live, full);
    EXPECT_GT(CountColour(full, Yellow, 0, 0, 433, 493), 100);
}

TEST(PreviewPlot, FollowsThePoolAndTheSize) {
    Plot p;
    p.pool.Append(Rec(0, 0, 1.0));
    EXPECT_EQ(CountColour(p.Picture(), Yellow, 0, 0, 433, 493), 1);
    // Items appended while the page was not showing are drawn at the next paint.
    p.widget.hide();
    p.pool.Append(Rec(0, 0, 1.0));
    const int64_t paints = p.widget.FullPaints();
    EXPECT_EQ(CountColour(p.Picture(), Yellow, 0, 0, 433, 493), 2);
    EXPECT_EQ(p.widget.FullPaints(), paints + 1);
    p.widget.show();
    // Clearing the pool: the next paint shows empty strips.
    p.pool.Clear();
    EXPECT_EQ(CountColour(p.Picture(), Yellow, 0, 0, 433, 493), 0);
    // A live record before any paint of the new pool is drawn by the full paint.
    p.Add(Rec(0, 0, 1.0));
    EXPECT_EQ(CountColour(p.Picture(), Yellow, 0, 0, 433, 493), 1);

    p.widget.resize(200, 100);
    const QImage img = p.Picture();
    ASSERT_EQ(img.size(), QSize(200, 100));
    const int y = p.widget.State().Geometry().ValueY(1, 1000); // Round(12 - 3 * 2)
    EXPECT_EQ(y, 6);
    EXPECT_EQ(img.pixel(0, y), Yellow);
    p.widget.resize(0, 0);
    EXPECT_TRUE(p.widget.Picture().isNull());
    EXPECT_EQ(p.channelText, "1");
}
