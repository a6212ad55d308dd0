// Synthetic impedances: plausible sizes and signs, reproducible from the seed, rare overflows.
#include <cmath>

#include <gtest/gtest.h>

#include "records/MeasDecode.h"
#include "tools/logger/ImpedanceSynth.h"
#include "tools/logger/LoggerClock.h"
#include "tools/logger/MeasurementEncoder.h"

using namespace logger;

namespace {
const QDateTime Noon = CalendarTime(2024, 6, 1, 12, 0, 0);
}

TEST(ImpedanceSynth, ElectrodesAreReproducibleFromTheSeed) {
    ImpedanceSynth a(42), b(42), c(43);
    int differ = 0;
    for (int board = 0; board < 16; ++board) {
        for (int channel = 0; channel < 16; ++channel) {
            Impedance za = a.Ideal(board, channel, 1000, false, Noon);
            Impedance zb = b.Ideal(board, channel, 1000, false, Noon);
            EXPECT_EQ(za.rx, zb.rx);
            EXPECT_EQ(za.xx, zb.xx);
            if (c.Ideal(board, channel, 1000, false, Noon).rx != za.rx)
                ++differ;
        }
    }
    EXPECT_GT(differ, 250);
    // The same seed gives the same readings, noise and overflows included.
    for (int i = 0; i < 200; ++i) {
        Impedance ma = a.Measure(i % 16, i % 7, 1000, 0.1, 1, false, Noon);
        Impedance mb = b.Measure(i % 16, i % 7, 1000, 0.1, 1, false, Noon);
        EXPECT_TRUE(ma.rx == mb.rx || (std::isinf(ma.rx) && std::isinf(mb.rx)));
        EXPECT_TRUE(ma.xx == mb.xx || (std::isinf(ma.xx) && std::isinf(mb.xx)));
    }
}

TEST(ImpedanceSynth, ReadingsArePlausibleForElectrodes) {
    ImpedanceSynth synth(2024);
    int total = 0, overflows = 0, finite = 0, capacitive = 0;
    double smallest = 1e300, largest = 0;
    for (int round = 0; round < 80; ++round) {
        for (int board = 0; board < 16; ++board) {
            for (int channel = 0; channel < 16; ++channel) {
                Impedance z = synth.Measure(board, channel, 1000, 0.1, 1, false, Noon);
                ++total;
                if (std::isinf(z.rx) || std::isinf(z.xx)) {
                    ++overflows;
                    continue;
                }
                ++finite;
                ASSERT_GE(z.rx, 0.0);
                ASSERT_TRUE(std::isfinite(z.xx));
                smallest = std::min(smallest, z.rx);
                largest = std::max(largest, z.rx);
                if (z.xx < 0)
                    ++capacitive;
                // Every ordinary reading fits the measurement bytes without overflowing.
                ImpedanceCode code = EncodeImpedance(z.rx, z.xx);
                ASSERT_LT(code.rxRaw, 65500);
                ASSERT_LT(code.xxRaw, 65500);
            }
        }
    }
    double share = static_cast<double>(overflows) / total;
    EXPECT_GT(share, 0.005);
    EXPECT_LT(share, 0.03);
    EXPECT_GT(static_cast<double>(capacitive) / finite, 0.8);
    EXPECT_LT(smallest, 10.0); // ohms
    EXPECT_GT(largest, 1e6);   // megaohms
}

TEST(ImpedanceSynth, DispersionAndPolarizationBehaveLikeTissue) {
    ImpedanceSynth synth(5);
    for (int channel = 0; channel < 16; ++channel) {
        SCOPED_TRACE(channel);
        Impedance low = synth.Ideal(0, channel, 100, false, Noon);
        Impedance high = synth.Ideal(0, channel, 20000, false, Noon);
        // Resistance falls with frequency.
        EXPECT_GT(low.rx, high.rx);
        // Two electrodes add polarization: more resistance, more capacitive reactance.
        Impedance two = synth.Ideal(0, channel, 100, true, Noon);
        EXPECT_GT(two.rx, low.rx);
        EXPECT_LT(two.xx, low.xx);
    }
}

TEST(ImpedanceSynth, NoiseShrinksWithVoltageAndRepetitions) {
    auto spread = [](double volts, int repeat) {
        ImpedanceSynth synth(9);
        synth.overflowShare = 0;
        double ideal = synth.Ideal(1, 1, 1000, false, Noon).rx;
        double sum = 0;
        for (int i = 0; i < 2000; ++i) {
            double d = synth.Measure(1, 1, 1000, volts, repeat, false, Noon).rx / ideal - 1;
            sum += d * d;
        }
        return std::sqrt(sum / 2000);
    };
    double base = spread(0.1, 1);
    EXPECT_GT(base, 0.0);
    EXPECT_LT(spread(5.0, 1), base / 2);
    EXPECT_LT(spread(0.1, 16), base / 2);
}
