// When the recorder starts and ends sweeps, what it keeps of each point, and what it tells.
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include <QString>
#include <gtest/gtest.h>

#include "link/Encodings.h"
#include "records/MeasDecode.h"
#include "sweep/SweepRecorder.h"

namespace {

// Sweep settings 100 Hz to 400 Hz by 2: the logger steps 100, 200, 400 Hz.
const SweepSettings ThreeSteps{static_cast<uint32_t>(enc::FrequencyCode(100)),
                               static_cast<uint32_t>(enc::FrequencyCode(400)),
                               512,
                               4,
                               0,
                               0,
                               1,
                               0};

// The ten data bytes of answer 6: Rx and Xx raw with their exponents, Xx negative.
std::array<uint8_t, 10> PointBytes(double hz, uint16_t rxRaw, int rxExp, uint16_t xxRaw, int xxExp,
                                   int range = 0) {
    const auto code = static_cast<uint32_t>(enc::FrequencyCode(hz));
    return {0x80,
            0,
            static_cast<uint8_t>(rxExp << 5 | xxExp << 2 | range),
            static_cast<uint8_t>(rxRaw >> 8),
            static_cast<uint8_t>(rxRaw),
            static_cast<uint8_t>(xxRaw >> 8),
            static_cast<uint8_t>(xxRaw),
            static_cast<uint8_t>(code >> 16),
            static_cast<uint8_t>(code >> 8),
            static_cast<uint8_t>(code)};
}

enum class Kind { Settings, Start, Point, Time };
struct Step {
    int64_t atMs;
    Kind kind;
    double hz = 0;
    uint16_t rxRaw = 1000, xxRaw = 500; // 65500 and more: an overflow
    int rxExp = 0, xxExp = 0;
};
struct Kept {
    size_t points;
    SweepEnd end;
    bool startSent;
    int64_t endedAtMs = -1; // -1: not checked
};
struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<Kept> sweeps;
    // The notifications in order: S<sweep> started, P<sweep>.<point> appended, E<sweep> ended.
    const char* told;
};

Step At(int64_t ms, Kind kind, double hz = 0) {
    return {ms, kind, hz};
}

} // namespace

TEST(SweepRecorder, StartsAndEndsSweepsAndTellsFollowers) {
    using enum Kind;
    const Case cases[] = {
        {"the last frequency ends a sweep",
         {At(0, Settings), At(0, Start), At(10, Point, 100), At(20, Point, 200),
          At(30, Point, 400)},
         {{3, SweepEnd::LastFrequency, true, 30}},
         "S0 P0.0 P0.1 P0.2 E0"},
        {"the next Start cuts the first sweep short",
         {At(0, Settings), At(0, Start), At(10, Point, 100), At(20, Point, 200), At(500, Start),
          At(510, Point, 100), At(520, Point, 200), At(530, Point, 400)},
         {{2, SweepEnd::NextStart, true, 500}, {3, SweepEnd::LastFrequency, true, 530}},
         "S0 P0.0 P0.1 E0 S1 P1.0 P1.1 P1.2 E1"},
        {"ten seconds without a point end a sweep, not a moment sooner",
         {At(0, Settings), At(0, Start), At(1000, Point, 100), At(10999, Time)},
         {{1, SweepEnd::Running, true}},
         "S0 P0.0"},
        {"ten seconds without a point end a sweep at the tenth second",
         {At(0, Settings), At(0, Start), At(1000, Point, 100), At(11000, Time), At(60000, Time)},
         {{1, SweepEnd::Silence, true, 11000}},
         "S0 P0.0 E0"},
        {"a Start without any point ends by silence",
         {At(0, Start), At(10000, Time)},
         {{0, SweepEnd::Silence, true, 10000}},
         "S0 E0"},
        {"a point after the silence opens a sweep of its own",
         {At(0, Settings), At(0, Start), At(0, Point, 100), At(20000, Point, 200)},
         {{1, SweepEnd::Silence, true, 10000}, {1, SweepEnd::Running, false}},
         "S0 P0.0 E0 S1 P1.0"},
        {"without known settings only a Start or silence ends a sweep",
         {At(0, Start), At(10, Point, 100), At(20, Point, 200), At(30, Point, 400)},
         {{3, SweepEnd::Running, true}},
         "S0 P0.0 P0.1 P0.2"},
        {"settings sent during a sweep are the next sweep's",
         {At(0, Start), At(10, Point, 100), At(20, Settings), At(30, Point, 400), At(40, Start),
          At(50, Point, 400)},
         {{2, SweepEnd::NextStart, true, 40}, {1, SweepEnd::LastFrequency, true, 50}},
         "S0 P0.0 P0.1 E0 S1 P1.0 E1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDateTime now = QDateTime(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC);
        const QDateTime t0 = now;
        SweepRecorder recorder([&] { return now; });
        QStringList told;
        QObject::connect(&recorder, &SweepRecorder::SweepStarted,
                         [&](int s) { told << QString("S%1").arg(s); });
        QObject::connect(&recorder, &SweepRecorder::PointAppended,
                         [&](int s, int p) { told << QString("P%1.%2").arg(s).arg(p); });
        QObject::connect(&recorder, &SweepRecorder::SweepEnded,
                         [&](int s) { told << QString("E%1").arg(s); });
        for (const Step& step : c.steps) {
            now = t0.addMSecs(step.atMs);
            switch (step.kind) {
            case Kind::Settings:
                recorder.SettingsExchanged(ThreeSteps);
                break;
            case Kind::Start:
                recorder.StartSent();
                break;
            case Kind::Point:
                recorder.PointDecoded(DecodeSweepPoint(
                    PointBytes(step.hz, step.rxRaw, step.rxExp, step.xxRaw, step.xxExp).data()));
                break;
            case Kind::Time:
                recorder.TimePassed();
                break;
            }
        }
        EXPECT_EQ(told.join(' ').toStdString(), c.told);
        ASSERT_EQ(recorder.Sweeps().size(), c.sweeps.size());
        for (size_t i = 0; i < c.sweeps.size(); ++i) {
            SCOPED_TRACE(i);
            const Sweep& s = recorder.Sweeps()[i];
            const Kept& k = c.sweeps[i];
            EXPECT_EQ(s.points.size(), k.points);
            EXPECT_EQ(s.end, k.end);
            EXPECT_EQ(s.startSent, k.startSent);
            if (k.endedAtMs >= 0) {
                EXPECT_EQ(t0.msecsTo(s.ended), k.endedAtMs);
            }
            EXPECT_EQ(s.ended.isValid(), k.end != SweepEnd::Running);
        }
        EXPECT_EQ(recorder.Running() >= 0, c.sweeps.back().end == SweepEnd::Running);
    }
}

TEST(SweepRecorder, KeepsEveryPointWithOverflowsAsVoid) {
    struct Reading {
        int range;
        uint16_t rxRaw;
        int rxExp;
        uint16_t xxRaw;
        int xxExp;
        bool isVoid;
        double rx, xx; // as kept, ohms
    };
    const Reading readings[] = {
        {0, 12345, 1, 4321, 2, false, 1234.5, -43.21},
        {0, 65535, 0, 500, 0, true, 65535, -500},    // Rx overflow, the plain mark
        {0, 1000, 0, 65500, 3, true, 1000, -65.535}, // Xx overflow at exponent 3
        {0, 65499, 0, 65499, 0, false, 65499, -65499},
        {2, 10000, 0, 700, 0, false, 1e6, -70000}, // megaohms are readings, not overflows
    };
    QDateTime now = QDateTime(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC);
    SweepRecorder recorder([&] { return now; });
    recorder.StartSent();
    double hz = 100;
    for (const Reading& r : readings) {
        now = now.addMSecs(20);
        recorder.PointDecoded(
            DecodeSweepPoint(PointBytes(hz, r.rxRaw, r.rxExp, r.xxRaw, r.xxExp, r.range).data()));
        hz *= 2;
    }
    const Sweep& s = recorder.Sweeps().at(0);
    ASSERT_EQ(s.points.size(), std::size(readings));
    for (size_t i = 0; i < s.points.size(); ++i) {
        SCOPED_TRACE(i);
        const SweepPoint& p = s.points[i];
        EXPECT_EQ(p.Void(), readings[i].isVoid);
        EXPECT_EQ(p.Rx, readings[i].rx);
        EXPECT_EQ(p.Xx, readings[i].xx);
        EXPECT_EQ(p.Hz(), 100 << i);
        EXPECT_EQ(p.arrival, s.started.addMSecs(20 * static_cast<int>(i + 1)));
        EXPECT_EQ(std::isnan(p.Magnitude()), readings[i].isVoid);
    }
    // |Z| and phase of a plain reading; a fit takes only the points with values.
    EXPECT_DOUBLE_EQ(s.points[0].Magnitude(), std::hypot(1234.5, 43.21));
    EXPECT_DOUBLE_EQ(s.points[0].PhaseDegrees(),
                     std::atan2(-43.21, 1234.5) * 180 / std::numbers::pi);
    EXPECT_EQ(s.Samples().size(), 3u);
}
