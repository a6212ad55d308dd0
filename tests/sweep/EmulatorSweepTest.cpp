// The emulator's sweep points, through its encoder, the console's frame receiver and decoder,
// land in one sweep at the frequencies the logger used, and the sweep ends at its last one.
#include <gtest/gtest.h>

#include "sweep/EmulatedSweep.h"

TEST(EmulatorSweep, PointsArriveWholeAtTheLoggersFrequencies) {
    struct Case {
        SweepRequest request;
        std::vector<int> hz; // as FFreqTx shows them
    };
    const Case cases[] = {
        // The steps multiply the code of 100 Hz (99.99 Hz): 6399 and 12798 Hz at the end.
        {{100, 20000, 2.0, 0.1, 1, 1, 1}, {100, 200, 400, 800, 1600, 3200, 6399, 12798}},
        {{1000, 5000, 1.5, 1.0, 3, 16, 4}, {1000, 1500, 2250, 3375}},
        {{1000, 9000, 3.0, 5.0, 8, 7, 1}, {1000, 3000, 9000}},
        {{20000, 20000, 10.0, 0.1, 2, 2, 1}, {20000}},
    };
    EmulatedSweeps rig(11);
    for (const Case& c : cases) {
        const SweepRequest& r = c.request;
        SCOPED_TRACE(testing::Message() << r.beginHz << ".." << r.endHz << " x" << r.multiplier);
        const int index = rig.Run(r);
        const Sweep& sweep = rig.recorder.Sweeps().at(static_cast<size_t>(index));
        EXPECT_EQ(sweep.end, SweepEnd::LastFrequency);
        EXPECT_EQ(rig.recorder.Running(), -1);
        // The settings the logger answered are the ones sent.
        ASSERT_TRUE(sweep.settings);
        EXPECT_EQ(*sweep.settings, *SweepSettingsFromWire(SetFreqParamsPayload(
                                       r.beginHz, r.endHz, r.multiplier, r.volts, r.board,
                                       r.channel, r.repeat, false)));
        std::vector<int> hz;
        for (const SweepPoint& p : sweep.points) {
            hz.push_back(p.Hz());
            EXPECT_EQ(p.board, r.board - 1);
            EXPECT_EQ(p.channel, r.channel - 1);
        }
        EXPECT_EQ(hz, c.hz);
    }
    EXPECT_EQ(rig.recorder.Sweeps().size(), std::size(cases));
}
