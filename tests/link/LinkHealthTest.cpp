// Answers through the real receiver and dispatcher against a view of plain values: an answer
// shorter than what its code's decoder reads is dropped and counted, never completed with the
// bytes of an earlier answer; and the link health counts and "no answer" deadline.
#include <gtest/gtest.h>

#include <QStringList>

#include "LinkTestUtil.h"
#include "link/AnswerDecode.h"
#include "link/ModBus.h"
#include "tests/support/SilentView.h"

namespace {

class PlainView : public SilentView {
public:
    void AddRecord(const TMeasRecord& rec) override { records.push_back(rec); }
    void ShowBoardMask() override { ++maskShows; }
    void ShowLinkHealth(const LinkHealth& h) override { health = h.Text(); }
    const FormatSettings& Format() const override { return fs; }
    // Every show is logged by what it shows.
    void ShowPeriod(const PeriodValues& v) override { Log("period", {v.hours, v.minutes}); }
    void ShowParams(const ParamsValues& v) override {
        Log("params", {v.freqHz, v.volts, v.latencyMs, v.repeat, double(v.twoElectrodes)});
    }
    void ShowFreqParams(const FreqParamsValues& v) override {
        Log("freq", {v.begFreqHz, v.endFreqHz, v.multiplier, v.volts, v.board, v.channel, v.repeat,
                     double(v.twoElectrodes)});
    }
    void ShowReportSettings(const ReportSettingsValues& v) override {
        Log("report", {v.hour, v.minute, v.retries});
    }
    void ShowGprsNet(const GprsNetValues& v) override {
        shown << "net " + v.apn + " " + v.serverIp;
    }
    void ShowDeviceClock(const QString& text) override { shown << "clock " + text; }
    void ShowVersion(const QString& text) override { shown << "version " + text; }
    void ShowDataSize(int64_t items) override { Log("size", {double(items)}); }
    void ShowDownloadedCount(int64_t counter) override { Log("downloaded", {double(counter)}); }
    void ShowMeasurement(const MeasurementLabels& t) override {
        shown << QStringList{"measurement", t.BrdTx,  t.ChTx,  t.RangeTx,
                             t.RealTx,      t.ImagTx, t.CntTx, t.TimeLabel}
                     .join(' ');
    }
    void ShowSweepPoint(const SweepPointLabels& t) override {
        shown << QStringList{"sweep", t.FFreqTx, t.FRangeTx, t.FRxTx, t.FXxTx}.join(' ');
    }
    void ShowStatus(const QString& text) override { status = text; }

    void Log(const QString& what, std::initializer_list<double> values) {
        QString line = what;
        for (double v : values)
            line += ' ' + QString::number(v, 'g', 17);
        shown << line;
    }

    FormatSettings fs;
    QStringList shown;
    QString status;
    std::vector<TMeasRecord> records;
    int maskShows = 0;
    QString health;
};

// A measurement with a date that exists (3 June, 01:00:16), counter 7.
const std::vector<uint8_t> Measurement = Hex("03 05 01 12 34 02 10 20 0E 36 07 00 00");

} // namespace

TEST(ShortAnswer, TheExampleDownloadGivesOneRecord) {
    PlainView view;
    TMB mb(view);
    for (uint8_t b : Hex("5A 78 10 03 05 01 12 34 02 10 20 0E 36 07 00 00 1E 5A 78 03 21"))
        mb.RS232Receive(b);
    ASSERT_EQ(view.records.size(), 1u);
    EXPECT_EQ(view.records[0].Counter, 7);
    EXPECT_EQ(mb.Health().Count(LinkHealth::Cause::Short), 1);
    EXPECT_EQ(mb.LastLinkError(), "short answer 120: 0 of 13 data bytes");
    EXPECT_EQ(view.health, "short answer: 1");
}

TEST(ShortAnswer, EveryCodeDropsAnAnswerShorterThanItsDecoderReads) {
    // A full answer of each code first fills the data area; the same code one byte short must
    // then change nothing but the counts.
    std::vector<uint8_t> net(48, 'a');
    net[31] = 0;
    const struct {
        Answer code;
        std::vector<uint8_t> full;
    } cases[] = {
        {Answer::Measurement, Measurement},
        {Answer::SweepPoint, Hex("01 02 01 00 64 00 0A 00 83 12")},
        {Answer::DownloadItem, Measurement},
        {Answer::DataSize, Hex("01 02 03")},
        {Answer::MeasureState, Hex("01")},
        {Answer::FreqParams, Hex("00 0D 1B 0A 3D 71 02 00 FF 02 0F 07 01")},
        {Answer::ReportSettings, Hex("06 2D 03")},
        {Answer::GprsNet, net},
        {Answer::Time, Hex("05 04 03 02 01 0C 18 14")},
        {Answer::Mask, std::vector<uint8_t>(32, 0xFF)},
        {Answer::Params, Hex("00 83 12 00 03 05 FF")},
        {Answer::Period, Hex("02 1E")},
        {Answer::Version, Hex("01 02")},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(static_cast<int>(c.full.size()), AnswerDataSize(CodeOf(c.code))) << int(c.code);
        PlainView view;
        TMB mb(view);
        auto send = [&](const std::vector<uint8_t>& data) {
            for (uint8_t b : frame::Build(frame::AnswerStart, CodeOf(c.code), data))
                mb.RS232Receive(b);
        };
        send(c.full);
        EXPECT_EQ(mb.Health().Count(LinkHealth::Cause::Short), 0) << int(c.code);
        EXPECT_NE(view.status, "") << int(c.code);
        view.status = "sending";
        const QStringList shown = view.shown;
        const size_t records = view.records.size();
        const int maskShows = view.maskShows;

        send({c.full.begin(), c.full.end() - 1});
        EXPECT_EQ(view.status, "sending") << int(c.code);
        EXPECT_EQ(view.shown, shown) << int(c.code);
        EXPECT_EQ(view.records.size(), records) << int(c.code);
        EXPECT_EQ(view.maskShows, maskShows) << int(c.code);
        EXPECT_EQ(mb.Health().Count(LinkHealth::Cause::Short), 1) << int(c.code);
        EXPECT_EQ(mb.LastLinkError(), QString("short answer %1: %2 of %3 data bytes")
                                          .arg(CodeOf(c.code))
                                          .arg(c.full.size() - 1)
                                          .arg(c.full.size()));
    }
    // Codes that carry nothing the console reads, and unknown ones, are never short.
    for (const uint8_t code : {122, 248, 77})
        EXPECT_EQ(AnswerDataSize(code), 0) << int(code);
}

TEST(LinkHealth, CountsDropsAndShowsNoAnswerUntilTheNextGoodAnswer) {
    LinkHealth h;
    const FormatSettings fs;
    const QDateTime t(QDate(2024, 12, 24), QTime(15, 30, 5));
    EXPECT_EQ(h.Text(), "no link errors");
    EXPECT_EQ(h.Hint(fs), "");

    h.RequestSent(1000);
    h.RequestSent(2500); // a later request does not push the deadline back
    EXPECT_FALSE(h.Check(3999, t));
    EXPECT_TRUE(h.Check(4000, t));
    EXPECT_FALSE(h.Check(9000, t)); // reported once
    EXPECT_EQ(h.Text(), "no answer");
    EXPECT_EQ(h.Hint(fs), "Last: no answer at 15:30:05");

    h.Dropped(LinkHealth::Cause::Checksum, "CRC error", t.addSecs(1));
    h.Dropped(LinkHealth::Cause::Checksum, "CRC error", t.addSecs(2));
    h.Dropped(LinkHealth::Cause::TooLong, "data stream too long: 200", t.addSecs(3));
    EXPECT_EQ(h.Text(), "CRC error: 2, data stream too long: 1, no answer");
    EXPECT_EQ(h.Hint(fs), "Last: data stream too long: 200 at 15:30:08");

    EXPECT_TRUE(h.GoodAnswer());
    EXPECT_FALSE(h.GoodAnswer());
    EXPECT_EQ(h.Text(), "CRC error: 2, data stream too long: 1");
    // Answered in time: no "no answer".
    h.RequestSent(10000);
    h.GoodAnswer();
    EXPECT_FALSE(h.Check(20000, t));
    h.Dropped(LinkHealth::Cause::Short, "short answer 5: 3 of 13 data bytes", t);
    h.Dropped(LinkHealth::Cause::BrokenOff, "answer broken off", t);
    EXPECT_EQ(h.Text(), "CRC error: 2, data stream too long: 1, short answer: 1, broken off: 1");
}
