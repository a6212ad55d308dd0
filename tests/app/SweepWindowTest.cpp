// Sweep points from the link land in the session's sweeps and in the window "Sweeps" as they
// arrive: a "Start" ends the running sweep, ticked sweeps are overlaid, a void point keeps its
// row without values, and the four labels go on showing the last point.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QTableWidget>

#include "app/features/SweepWindow.h"
#include "link/Encodings.h"
#include "sweep/SweepRecorder.h"
#include "tests/app/ConsoleFixture.h"
#include "tools/logger/MeasurementEncoder.h"
#include "widgets/SpectrumPlot.h"

class SweepWindowTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        Start();
    }
    void Send(Answer code, std::span<const uint8_t> data) {
        for (uint8_t b : frame::Build(frame::AnswerStart, CodeOf(code), {data.begin(), data.end()}))
            link->RS232Receive(b);
    }
    void Point(double hz, double rx, double xx) {
        const auto bytes = logger::EncodeSweepPoint(2, 4, logger::EncodeImpedance(rx, xx),
                                                    static_cast<uint32_t>(enc::FrequencyCode(hz)));
        Send(Answer::SweepPoint, bytes);
    }
    template <class T> T* Find(const char* name) const {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* w =
                    top->objectName() == name ? qobject_cast<T*>(top) : top->findChild<T*>(name))
                return w;
        return nullptr;
    }
    std::vector<QString> Column(int column) const {
        auto* table = Find<QTableWidget>("SweepTbl");
        std::vector<QString> cells;
        for (int r = 0; r < table->rowCount(); ++r)
            cells.push_back(table->item(r, column)->text());
        return cells;
    }
};

TEST_F(SweepWindowTest, PointsFollowTheirSweepIntoTheWindow) {
    // The logger's settings as read back (answer 247): 100 Hz to 20 kHz by 2, board 3,
    // channel 5; eight points.
    std::vector<uint8_t> settings = SetFreqParamsPayload(100, 20000, 2.0, 0.1, 3, 5, 1, false);
    Send(Answer::FreqParams, settings);
    Click("FreqStartBtn");
    Point(100, 1000, -500);
    Point(200, 900, -450);
    Click("SweepBtn");          // opened while the sweep runs: it follows
    Point(400, INFINITY, -400); // an overflow
    EXPECT_EQ(Text("FFreqTx"), "400");

    const SweepRecorder& rec = window->Sweeps();
    ASSERT_EQ(rec.Sweeps().size(), 1u);
    EXPECT_EQ(rec.Running(), 0);
    ASSERT_TRUE(rec.Sweeps()[0].settings);
    EXPECT_EQ(*rec.Sweeps()[0].settings, *SweepSettingsFromWire(settings));
    EXPECT_EQ(Find<QLabel>("SweepPointsTx")->text(), "3");
    EXPECT_EQ(Column(0), (std::vector<QString>{"100", "200", "400"}));
    EXPECT_EQ(Column(2), (std::vector<QString>{"1000.00", "900.00", ""}));
    EXPECT_EQ(Column(4)[0], "1118.03");
    EXPECT_EQ(Column(5)[0], "-26.57");

    // The next "Start" ends it; the new sweep becomes the chosen one.
    Click("FreqStartBtn");
    Point(100, 2000, -100);
    EXPECT_EQ(rec.Sweeps()[0].end, SweepEnd::NextStart);
    EXPECT_EQ(rec.Sweeps()[0].points.size(), 3u);
    EXPECT_EQ(rec.Running(), 1);
    auto* list = Find<QListWidget>("SweepLst");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_TRUE(list->item(0)->text().contains("board 3, channel 5  3 points  100 .. 400 Hz"))
        << list->item(0)->text().toStdString();
    EXPECT_TRUE(list->item(1)->text().endsWith("1 point  100 .. 100 Hz  (running)"))
        << list->item(1)->text().toStdString();
    EXPECT_EQ(Column(2), (std::vector<QString>{"2000.00"}));

    // Ticking the first overlays it on the chosen one.
    auto* plot = Find<SpectrumPlot>("SweepPB");
    ASSERT_EQ(plot->Traces().size(), 1u);
    list->item(0)->setCheckState(Qt::Checked);
    ASSERT_EQ(plot->Traces().size(), 2u);
    EXPECT_EQ(plot->Traces()[0].sweep, 0);
    EXPECT_EQ(plot->Traces()[1].sweep, 1);
    EXPECT_NE(plot->Traces()[0].color, plot->Traces()[1].color);
    EXPECT_FALSE(plot->Picture().isNull());

    // The pointer names the nearest point: the first sweep's first one, in either plot.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plot->window()));
    plot->repaint();
    int marked = 0;
    for (const SpectrumPlot::PointMark& m : plot->Marks()) {
        if (m.sweep != 0 || m.point != 0)
            continue;
        QMouseEvent move(QEvent::MouseMove, m.at, plot->mapToGlobal(m.at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
        EXPECT_EQ(Find<QLabel>("SweepHoverTx")->text(),
                  "Sweep 1, point 1: 100 Hz, range 0, R 1.00 kΩ, X -500.00 Ω, |Z| 1.12 kΩ, "
                  "phase -26.57°");
        ++marked;
    }
    EXPECT_EQ(marked, 2); // Bode and Nyquist; the void point has no mark
    EXPECT_EQ(plot->Marks().size(), 2u * (2 + 1));

    // Choosing the first again shows its points.
    list->setCurrentRow(0);
    EXPECT_EQ(Find<QLabel>("SweepPointsTx")->text(), "3");
    EXPECT_EQ(Column(0), (std::vector<QString>{"100", "200", "400"}));

    // Ten seconds without a point end the running sweep, with no event from the link.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.Running() < 0; }, 30000));
    EXPECT_EQ(rec.Sweeps()[1].end, SweepEnd::Silence);
    EXPECT_FALSE(list->item(1)->text().contains("running"));
}
