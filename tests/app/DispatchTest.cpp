// Answers from the logger land in their controls with their status texts.
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTcpSocket>

#include "base/EventGuard.h"
#include "buffer/BufferTableModel.h"
#include "buffer/BufferWindowModel.h"
#include "net/PeerAddresses.h"
#include "net/ReportServer.h"
#include "tests/app/ConsoleFixture.h"

class DispatchTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        Start();
    }
    void Send(Answer code, std::vector<uint8_t> data) {
        for (uint8_t b : frame::Build(frame::AnswerStart, CodeOf(code), data))
            link->RS232Receive(b);
    }
};

TEST_F(DispatchTest, SettingsAnswersFillTheirControls) {
    Receive({0x5A, 0xFE, 0x05, 0x02, 0x1E, 0xBD});
    EXPECT_EQ(Text("ComStatusTx"), "Measure period");
    EXPECT_EQ(Text("PerHourEd"), "2");
    EXPECT_EQ(Text("PerMinEd"), "30");

    // 33554 is 999.99 Hz, shown as the integer 1000; voltage code 0 is below the minimum.
    Send(Answer::Params, {0x00, 0x83, 0x12, 0x00, 0x03, 0x05, 0xFF});
    EXPECT_EQ(Text("ComStatusTx"), "Measure params");
    EXPECT_EQ(Text("FreqEd"), "1000");
    EXPECT_EQ(Text("VoltageEd"), "0.10");
    EXPECT_EQ(Text("LatEd"), "300");
    EXPECT_EQ(Text("RepEd"), "5");
    EXPECT_TRUE(Checked("MeasTypeChck"));

    Send(Answer::FreqParams,
         {0x00, 0x0D, 0x1B, 0x0A, 0x3D, 0x71, 0x02, 0x00, 0xFF, 0x02, 0x0F, 0x07, 0x00});
    EXPECT_EQ(Text("ComStatusTx"), "Freq. Measure params");
    EXPECT_EQ(Text("BegFreqEd"), "100");
    EXPECT_EQ(Text("EndFreqEd"), "20000");
    EXPECT_EQ(Text("FreqMultEd"), "2.00");
    EXPECT_EQ(Text("FreqVoltageEd"), "5.00");
    EXPECT_EQ(Text("FBrdEd"), "3");
    EXPECT_EQ(Text("FChnlEd"), "16");
    EXPECT_EQ(Text("FRepEd"), "7");
    EXPECT_FALSE(Checked("FMeasTypeChck"));

    Send(Answer::ReportSettings, {6, 45, 3});
    EXPECT_EQ(Text("ComStatusTx"), "GPRS Reporting Settings");
    EXPECT_EQ(Text("RepHourEd"), "6");
    EXPECT_EQ(Text("RepMinEd"), "45");
    EXPECT_EQ(Text("RetryRepEd"), "3");

    std::vector<uint8_t> net(48, 0);
    const QByteArray apn(40, 'a');
    std::copy(apn.begin(), apn.end(), net.begin());
    const QByteArray ip = "10.1.2.3";
    std::copy(ip.begin(), ip.end(), net.begin() + 32);
    Send(Answer::GprsNet, net);
    EXPECT_EQ(Text("ComStatusTx"), "GPRS Settings");
    EXPECT_EQ(Text("APNEd"), QString(31, 'a'));
    EXPECT_EQ(Text("ServIPEd"), "10.1.2.3");
}

TEST_F(DispatchTest, ClockAnswerShowsTheDateOrUnknown) {
    Send(Answer::Time, {0x05, 0x04, 0x03, 0x02, 0x01, 0x0C, 0x18, 0x14});
    EXPECT_EQ(Text("ComStatusTx"), "System Time");
    EXPECT_EQ(Text("ClockEd"), "01.12.2024 - 03:04:05");
    Send(Answer::Time, {0x05, 0x04, 0x03, 0x02, 0x01, 0x0D, 0x18, 0x14});
    EXPECT_EQ(Text("ClockEd"), "unknown");
    EXPECT_EQ(Text("ComStatusTx"), "System Time");
}

TEST_F(DispatchTest, ActionAnswersShowTheirStatus) {
    const struct {
        Answer code;
        std::vector<uint8_t> data;
        const char* status;
    } cases[] = {
        {Answer::MemoryCleared, {}, "Reset memory"},
        {Answer::MeasureState, {0}, "Measure disabled"},
        {Answer::MeasureState, {1}, "Measure enabled"},
        {Answer::MeasureState, {255}, "Measure enabled"},
        {Answer::ReportForced, {}, "GPRS Report Forced"},
        {Answer{77}, {1, 2, 3}, "OK"},
        {Answer::DataSize, {0x01, 0x02, 0x03}, "OK"},
    };
    for (const auto& c : cases) {
        Send(c.code, c.data);
        EXPECT_EQ(Text("ComStatusTx"), c.status) << int(c.code);
    }
    EXPECT_EQ(Text("SizeTx"), QString::number(0x010203));
}

TEST_F(DispatchTest, MeasurementsAreShownAndBuffered) {
    const std::vector<uint8_t> m = {0x00, 0x03, 0x21, 0x30, 0x39, 0x80, 0x00,
                                    0x3F, 0x8C, 0x72, 0x07, 0x00, 0x00};
    Send(Answer::Measurement, m);
    EXPECT_EQ(Text("BrdTx"), "1");
    EXPECT_EQ(Text("ChTx"), "4");
    EXPECT_EQ(Text("RangeTx"), "1");
    EXPECT_EQ(Text("RealTx"), "12345000.00");
    EXPECT_EQ(Text("ImagTx"), "?");
    EXPECT_EQ(Text("CntTx"), "7");
    EXPECT_EQ(Text("TimeLabel"), "07.02-09:58:23");
    EXPECT_EQ(window->Buffer().Pool().Count(), 1);
    EXPECT_EQ(Text("PoolItemsTx"), "1");

    // A download item goes to the buffer and its number to AmountTx, not to the labels.
    std::vector<uint8_t> item = m;
    item[10] = 0x2A;
    Send(Answer::DownloadItem, item);
    EXPECT_EQ(window->Buffer().Pool().Count(), 2);
    EXPECT_EQ(Text("AmountTx"), "42");
    const int32_t counter = window->Buffer().Pool().At(1).Counter; // a packed field, copied out
    EXPECT_EQ(counter, 42);

    // A sweep point shows on the Freq Range page and is not buffered.
    Send(Answer::SweepPoint, {0x01, 0x02, 0x01, 0x00, 0x64, 0x00, 0x0A, 0x00, 0x83, 0x12});
    EXPECT_EQ(Text("FFreqTx"), "1000");
    EXPECT_EQ(Text("FRangeTx"), "1");
    EXPECT_EQ(Text("FRxTx"), "1000000.00");
    EXPECT_EQ(window->Buffer().Pool().Count(), 2);
}

TEST_F(DispatchTest, ReportItemsArrivingTogetherAreShownTogetherEveryRowTheNewestSelected) {
    Find<QTabWidget>("PageCtrl")->setCurrentWidget(Find("BufSh"));
    auto* grid = Find<QTableView>("BufGrid");
    QSignalSpy inserted(grid->model(), &QAbstractItemModel::rowsInserted);
    // Items of board 1, channel 4 whose raw resistance counts them (range 1, exponent 1), as the
    // report server hands them on from a connection's parser.
    ReportParser parser;
    parser.onItem = [&](std::span<const uint8_t, ReportParser::ItemSize> item) {
        link->ReportItem(item);
    };
    const auto report = [&](int from, int count) {
        for (int k = from; k < from + count; ++k)
            for (uint8_t b :
                 {0xA5, 0x00, 0x03, 0x21, k >> 8, k & 0xFF, 0x80, 0x00, 0x3F, 0x8C, 0x72})
                parser.ParseReportByte(static_cast<uint8_t>(b));
    };
    const struct {
        int count;
        int rows;
    } bursts[] = {{300, 299}, {1, 1}, {2000, 2000}};
    int total = 0;
    for (const auto& burst : bursts) {
        const int insertions = static_cast<int>(inserted.count());
        report(total, burst.count);
        total += burst.count;
        EXPECT_EQ(window->Buffer().Pool().Count(), total);
        EXPECT_EQ(Text("PoolItemsTx"), QString::number(total)); // after the pass
        ASSERT_EQ(inserted.count(), insertions + 1) << total;
        EXPECT_EQ(inserted.last()[2].toInt() - inserted.last()[1].toInt() + 1, burst.rows);
        EXPECT_EQ(grid->model()->rowCount(), total);
        EXPECT_EQ(grid->currentIndex().row(), total - 1);
        QCoreApplication::processEvents();
        EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    }
    for (int k = 0; k < total; ++k) {
        ASSERT_EQ(grid->model()->index(k, 0).data().toString(), QString::number(k));
        ASSERT_EQ(grid->model()->index(k, 6).data().toString(), QString::number(k * 1000) + ".00");
    }
}

// The grid holds a window of a large buffer; dragging its scroll bar's thumb still reaches any
// part of the whole buffer, the row on top at the thumb's fraction of it.
TEST_F(DispatchTest, DraggingTheGridsThumbReachesTheWholeBuffer) {
    Find<QTabWidget>("PageCtrl")->setCurrentWidget(Find("BufSh"));
    auto* grid = Find<QTableView>("BufGrid");
    constexpr int Items = 250000;
    std::vector<TMeasRecord> records(Items);
    for (int k = 0; k < Items; ++k)
        records[static_cast<size_t>(k)].Counter = k;
    window->Buffer().AddRecords(std::move(records), ArrivalSource::Restored);
    // The table takes a bulk of rows at its own pace; a row still to come would move the window
    // to the newest item in the middle of the drag.
    const auto& table = dynamic_cast<BufferWindowModel&>(*grid->model()).Table();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table.ShownItems() == Items; }, 30000));
    ASSERT_LT(grid->model()->rowCount(), Items); // a window, or this test checks nothing
    QScrollBar* bar = grid->verticalScrollBar();
    const auto topItem = [&] {
        QCoreApplication::processEvents();
        return grid->model()->index(grid->rowAt(0), 0).data().toString().toLongLong();
    };
    bar->setSliderDown(true);
    const int last = bar->maximum();
    for (const int position : {last / 2, 0, last / 4, last}) {
        bar->setSliderPosition(position);
        const double fraction = static_cast<double>(position) / last;
        const int64_t rowsInView = grid->model()->rowCount() - last;
        EXPECT_NEAR(topItem(), fraction * static_cast<double>(Items - rowsInView), 1.0) << position;
    }
    bar->setSliderDown(false);
}

TEST_F(DispatchTest, AMeasurementWithAnImpossibleDateFailsAndBuffersNothing) {
    QString shown;
    SetFailureHandler([&](const QString& text) { shown = text; });
    // Month 0.
    const std::vector<uint8_t> bad = {0x00, 0x03, 0x21, 0x30, 0x39, 0x80, 0x00,
                                      0x3F, 0x8C, 0x10, 0x07, 0x00, 0x00};
    Guarded([&] { Send(Answer::Measurement, bad); });
    EXPECT_EQ(shown, "Invalid argument to date encode");
    EXPECT_EQ(window->Buffer().Pool().Count(), 0);
    // The receiver is ready for the next answer.
    Receive({0x5A, 0xFE, 0x05, 0x02, 0x1E, 0xBD});
    EXPECT_EQ(Text("PerMinEd"), "30");
}

// The server group's own rows: report items the logger cannot have sent (a board or channel it
// lacks, a date that cannot be) are dropped and counted, a sender outside the allowed ranges is
// counted and named in the tooltip.
TEST_F(DispatchTest, ServerGroupCountsDroppedItemsAndRefusedSenders) {
    const struct {
        uint8_t board; // byte 0: 0-based board, bits 3-0
        uint8_t channel;
        uint8_t dayMonth;
        bool buffered;
    } items[] = {
        {0x00, 0x03, 0x72, true},  {0x07, 0x0F, 0x72, true},  {0x08, 0x00, 0x72, false},
        {0x0F, 0x03, 0x72, false}, {0x00, 0x10, 0x72, false}, {0x00, 0xFF, 0x72, false},
        {0x00, 0x03, 0x70, false}, // month 0
    };
    ReportParser parser;
    parser.onItem = [&](std::span<const uint8_t, ReportParser::ItemSize> item) {
        link->ReportItem(item);
    };
    int buffered = 0, dropped = 0;
    for (const auto& i : items) {
        for (uint8_t b :
             {uint8_t(0xA5), i.board, i.channel, uint8_t(0x21), uint8_t(0x30), uint8_t(0x39),
              uint8_t(0x80), uint8_t(0x00), uint8_t(0x3F), uint8_t(0x8C), i.dayMonth})
            parser.ParseReportByte(b);
        (i.buffered ? buffered : dropped) += 1;
        EXPECT_EQ(window->Buffer().Pool().Count(), buffered)
            << int(i.board) << " " << int(i.channel);
        EXPECT_EQ(Text("DroppedItemsTx"), QString::number(dropped));
    }
    EXPECT_EQ(window->ReportItemCount(), buffered + dropped);

    auto* server = window->findChild<ReportServer*>();
    ASSERT_NE(server, nullptr);
    server->SetPort(0);
    server->SetAllowedPeers(AllowedPeers::Parse("192.0.2.0/24").value());
    server->Run();
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, server->Port());
    ASSERT_TRUE(sender.waitForConnected(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text("RefusedSendersTx") == "1"; }, 5000));
    EXPECT_TRUE(
        Find<QLabel>("RefusedSendersTx")->toolTip().startsWith("Last refused: 127.0.0.1 on "));
}
