#pragma once
// The equivalent circuit of an electrode, a series resistance Rs and a parallel resistance Rp
// with a constant-phase element (Q, n):
//     Z(w) = Rs + Rp / (1 + Rp * Q * (jw)^n)
// (a depressed semicircle in the Nyquist plot; n = 1 is a plain capacitor Q), and its fit to a
// spectrum by non-linear least squares (GSL's trust-region Levenberg-Marquardt).
#include <complex>
#include <span>
#include <vector>

#include "base/Result.h"

struct CircuitParams {
    double rs = 0; // ohms
    double rp = 0; // ohms
    double q = 0;  // S * s^n
    double n = 1;
};

// The circuit's impedance at a frequency in hertz.
std::complex<double> CircuitImpedance(const CircuitParams& p, double hz);

struct ImpedanceSample {
    double hz = 0;
    std::complex<double> z; // R + jX, ohms
};
// `count` samples of the circuit at frequencies evenly spaced on a log scale from loHz to hiHz:
// the fitted curve for a plot.
std::vector<ImpedanceSample> CircuitCurve(const CircuitParams& p, double loHz, double hiHz,
                                          int count);

struct CircuitFit {
    CircuitParams params;
    CircuitParams errors; // standard errors, from the covariance scaled by the residual
    double residual = 0;  // rms of the residuals (model - data) / |data|, real and imaginary
    int points = 0;       // samples fitted
    int iterations = 0;
};

// Fits the circuit to the samples, each weighted by 1/|Z| so that every frequency counts alike.
// Samples with a non-finite value or |Z| = 0 are left out. Fails with a reason for values at
// fewer frequencies than the circuit has parameters (four), and when the solver does not
// converge within maxIterations.
Result<CircuitFit> FitCircuit(std::span<const ImpedanceSample> samples, int maxIterations = 200);
