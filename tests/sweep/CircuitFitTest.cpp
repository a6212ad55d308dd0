// The circuit fit on the emulator's electrodes (noise and overflows on), and its refusals.
#include <cmath>

#include <gtest/gtest.h>

#include "sweep/CircuitFit.h"
#include "sweep/EmulatedSweep.h"

TEST(CircuitFit, RecoversEmulatedElectrodes) {
    // The console's default sweep (100 Hz to 20 kHz by 2, 0.1 V: eight points) and a fine one.
    const double multipliers[] = {2.0, 1.2};
    int fitted = 0;
    for (uint64_t seed = 1; seed <= 5; ++seed) {
        EmulatedSweeps rig(seed);
        for (double multiplier : multipliers) {
            for (int board = 1; board <= 8; ++board) {
                for (int channel = 1; channel <= 16; channel += 5) {
                    SCOPED_TRACE(testing::Message()
                                 << "seed " << seed << " x" << multiplier << " board " << board
                                 << " channel " << channel);
                    SweepRequest r;
                    r.multiplier = multiplier;
                    r.board = board;
                    r.channel = channel;
                    const Sweep& sweep = rig.recorder.Sweeps()[static_cast<size_t>(rig.Run(r))];
                    const CircuitParams truth =
                        rig.synth.Circuit(board - 1, channel - 1, rig.clock.Now());
                    const Result<CircuitFit> fit = FitCircuit(sweep.Samples());
                    ASSERT_TRUE(fit) << fit.error().text.toStdString();
                    const double found[] = {fit->params.rs, fit->params.rp, fit->params.q,
                                            fit->params.n};
                    const double errors[] = {fit->errors.rs, fit->errors.rp, fit->errors.q,
                                             fit->errors.n};
                    const double truths[] = {truth.rs, truth.rp, truth.q, truth.n};
                    for (int k = 0; k < 4; ++k) {
                        SCOPED_TRACE(k);
                        EXPECT_NEAR(found[k] / truths[k], 1.0, 0.02);
                        // The standard errors say how far off the fit is.
                        EXPECT_GT(errors[k], 0.0);
                        EXPECT_LT(std::fabs(found[k] - truths[k]), 4 * errors[k]);
                    }
                    EXPECT_LT(fit->residual, 0.001);
                    EXPECT_EQ(fit->points, static_cast<int>(sweep.Samples().size()));
                    ++fitted;
                }
            }
        }
    }
    EXPECT_EQ(fitted, 5 * 2 * 8 * 4);
}

TEST(CircuitFit, RefusesWhatItCannotFitAndSaysWhy) {
    const CircuitParams electrode{120, 880, 2e-6, 0.8};
    const std::vector<ImpedanceSample> spectrum = CircuitCurve(electrode, 100, 20000, 12);
    struct Case {
        const char* name;
        std::vector<ImpedanceSample> samples;
        int maxIterations;
        const char* error; // empty: the fit succeeds
    } cases[] = {
        {"three points",
         {spectrum.begin(), spectrum.begin() + 3},
         200,
         "a fit needs values at 4 frequencies at least, this sweep has 3"},
        {"void values are no points",
         {spectrum[0], spectrum[1], spectrum[2], {300, {NAN, -20}}, {400, {0, 0}}},
         200,
         "a fit needs values at 4 frequencies at least, this sweep has 3"},
        {"readings at one frequency are one point",
         {spectrum[0], spectrum[1], spectrum[2], spectrum[2], spectrum[2]},
         200,
         "a fit needs values at 4 frequencies at least, this sweep has 3"},
        {"too few iterations", spectrum, 1, "the fit did not converge (1 iterations)"},
        {"four points suffice", {spectrum.begin(), spectrum.begin() + 4}, 200, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<CircuitFit> fit = FitCircuit(c.samples, c.maxIterations);
        EXPECT_EQ(fit ? "" : fit.error().text.toStdString(), c.error);
        EXPECT_EQ(fit.has_value(), *c.error == 0);
    }
}
