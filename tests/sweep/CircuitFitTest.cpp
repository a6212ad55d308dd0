// The circuit fit's refusals.
#include <cmath>

#include <gtest/gtest.h>

#include "sweep/CircuitFit.h"

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
         "a fit needs at least 4 points with values, this sweep has 3"},
        {"void values are no points",
         {spectrum[0], spectrum[1], spectrum[2], {300, {NAN, -20}}, {400, {0, 0}}},
         200,
         "a fit needs at least 4 points with values, this sweep has 3"},
        {"too few iterations", spectrum, 1, "the fit did not converge within 1 iterations"},
        {"four points suffice", {spectrum.begin(), spectrum.begin() + 4}, 200, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<CircuitFit> fit = FitCircuit(c.samples, c.maxIterations);
        EXPECT_EQ(fit.error().toStdString(), c.error);
        EXPECT_EQ(fit.has_value(), *c.error == 0);
    }
}
