#include "sweep/CircuitFit.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>

#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

namespace {

using Complex = std::complex<double>;
constexpr size_t ParamCount = 4;
constexpr double Pi = std::numbers::pi;

// The circuit at one frequency, with the pieces its derivatives reuse.
struct Terms {
    Complex cpe;   // (jw)^n
    Complex denom; // 1 + Rp * Q * (jw)^n
    Complex z;
};

Terms Evaluate(const CircuitParams& p, double hz) {
    const double omega = 2 * Pi * hz;
    Terms t;
    t.cpe = std::pow(omega, p.n) * Complex(std::cos(p.n * Pi / 2), std::sin(p.n * Pi / 2));
    t.denom = 1.0 + p.rp * p.q * t.cpe;
    t.z = p.rs + p.rp / t.denom;
    return t;
}

// The solver works on ln Rs, ln Rp, ln Q and n: the three stay positive, and parameters many
// decades apart (Q around 1e-9, Rp up to 1e6) get steps of a like size.
CircuitParams FromSolver(const gsl_vector* x) {
    return {std::exp(gsl_vector_get(x, 0)), std::exp(gsl_vector_get(x, 1)),
            std::exp(gsl_vector_get(x, 2)), gsl_vector_get(x, 3)};
}

using Samples = std::vector<ImpedanceSample>;

// Residuals (model - data) / |data|, real and imaginary parts in turn. Parameters out of reach
// of double (a trial step far off) give large finite residuals, so the step is refused rather
// than the solver fed NaN.
int Residuals(const gsl_vector* x, void* data, gsl_vector* f) {
    const Samples& samples = *static_cast<const Samples*>(data);
    const CircuitParams p = FromSolver(x);
    for (size_t i = 0; i < samples.size(); ++i) {
        const Complex r = (Evaluate(p, samples[i].hz).z - samples[i].z) / std::abs(samples[i].z);
        const bool finite = std::isfinite(r.real()) && std::isfinite(r.imag());
        gsl_vector_set(f, 2 * i, finite ? r.real() : 1e100);
        gsl_vector_set(f, 2 * i + 1, finite ? r.imag() : 1e100);
    }
    return GSL_SUCCESS;
}

int Jacobian(const gsl_vector* x, void* data, gsl_matrix* jac) {
    const Samples& samples = *static_cast<const Samples*>(data);
    const CircuitParams p = FromSolver(x);
    for (size_t i = 0; i < samples.size(); ++i) {
        const Terms t = Evaluate(p, samples[i].hz);
        const double weight = 1 / std::abs(samples[i].z);
        const Complex denom2 = t.denom * t.denom;
        const Complex dq = -p.rp * p.rp * p.q * t.cpe / denom2; // d/d(ln Q)
        const Complex d[ParamCount] = {
            p.rs,                                                   // d/d(ln Rs)
            p.rp / denom2,                                          // d/d(ln Rp)
            dq,                                                     // d/d(ln Q)
            dq * Complex(std::log(2 * Pi * samples[i].hz), Pi / 2), // d/dn
        };
        for (size_t k = 0; k < ParamCount; ++k) {
            const bool finite = std::isfinite(d[k].real()) && std::isfinite(d[k].imag());
            gsl_matrix_set(jac, 2 * i, k, finite ? d[k].real() * weight : 0);
            gsl_matrix_set(jac, 2 * i + 1, k, finite ? d[k].imag() * weight : 0);
        }
    }
    return GSL_SUCCESS;
}

// Start values read off the spectrum: Rs from the high-frequency end of the resistance, Rp from
// its low-frequency end, n from how far the arc is depressed (its top lies at
// Rp / 2 * tan(n * pi / 4)), and Q from the frequency of that top, where Rp * Q * w^n = 1.
CircuitParams StartValues(const Samples& samples) {
    double rMin = HUGE_VAL, rMax = 0, zMax = 0, topX = 0, topHz = samples.front().hz;
    size_t top = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const ImpedanceSample& s = samples[i];
        rMin = std::min(rMin, s.z.real());
        rMax = std::max(rMax, s.z.real());
        zMax = std::max(zMax, std::abs(s.z));
        if (-s.z.imag() > topX) {
            topX = -s.z.imag();
            topHz = s.hz;
            top = i;
        }
    }
    CircuitParams p;
    p.rs = rMin > 0 ? rMin : 1e-3 * zMax;
    p.rp = rMax - p.rs > 1e-3 * zMax ? rMax - p.rs : zMax;
    // The top inside the spectrum tells n; at either end the arc runs beyond it.
    const bool inside = top > 0 && top + 1 < samples.size();
    p.n = inside ? std::clamp(4 / Pi * std::atan(2 * topX / p.rp), 0.4, 1.0) : 0.8;
    p.q = 1 / (p.rp * std::pow(2 * Pi * topHz, p.n));
    return p;
}

using Workspace =
    std::unique_ptr<gsl_multifit_nlinear_workspace, decltype(&gsl_multifit_nlinear_free)>;
using Matrix = std::unique_ptr<gsl_matrix, decltype(&gsl_matrix_free)>;

} // namespace

std::complex<double> CircuitImpedance(const CircuitParams& p, double hz) {
    return Evaluate(p, hz).z;
}

std::vector<ImpedanceSample> CircuitCurve(const CircuitParams& p, double loHz, double hiHz,
                                          int count) {
    std::vector<ImpedanceSample> out;
    if (count < 1 || !(loHz > 0) || !(hiHz > 0))
        return out;
    const double step = count > 1 ? std::log(hiHz / loHz) / (count - 1) : 0;
    for (int i = 0; i < count; ++i) {
        const double hz = loHz * std::exp(step * i);
        out.push_back({hz, CircuitImpedance(p, hz)});
    }
    return out;
}

Result<CircuitFit> FitCircuit(std::span<const ImpedanceSample> input, int maxIterations) {
    // GSL's own handler aborts the program on a singular matrix; its status codes suffice.
    static std::once_flag quiet;
    std::call_once(quiet, [] { gsl_set_error_handler_off(); });

    Samples samples;
    for (const ImpedanceSample& s : input)
        if (std::isfinite(s.hz) && s.hz > 0 && std::isfinite(s.z.real()) &&
            std::isfinite(s.z.imag()) && std::abs(s.z) > 0)
            samples.push_back(s);
    // Repeated readings at one frequency tell no more about the circuit than one of them.
    std::sort(samples.begin(), samples.end(),
              [](const ImpedanceSample& a, const ImpedanceSample& b) { return a.hz < b.hz; });
    size_t frequencies = 0;
    for (size_t i = 0; i < samples.size(); ++i)
        if (i == 0 || samples[i].hz != samples[i - 1].hz)
            ++frequencies;
    if (frequencies < ParamCount)
        return Fail(QString("a fit needs values at %1 frequencies at least, this sweep has %2")
                        .arg(ParamCount)
                        .arg(frequencies));

    const size_t n = 2 * samples.size();
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = Residuals;
    fdf.df = Jacobian;
    fdf.n = n;
    fdf.p = ParamCount;
    fdf.params = &samples;
    gsl_multifit_nlinear_parameters settings = gsl_multifit_nlinear_default_parameters();
    Workspace w(gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &settings, n, ParamCount),
                &gsl_multifit_nlinear_free);
    if (!w)
        return Fail("no memory for the fit");

    const CircuitParams start = StartValues(samples);
    double x0[ParamCount] = {std::log(start.rs), std::log(start.rp), std::log(start.q), start.n};
    gsl_vector_view x = gsl_vector_view_array(x0, ParamCount);
    if (gsl_multifit_nlinear_init(&x.vector, &fdf, w.get()) != GSL_SUCCESS)
        return Fail("the fit could not start from this sweep's values");
    int info = 0;
    const int status =
        gsl_multifit_nlinear_driver(static_cast<size_t>(std::max(maxIterations, 1)), 1e-10, 1e-10,
                                    0, nullptr, nullptr, &info, w.get());
    const int iterations = static_cast<int>(gsl_multifit_nlinear_niter(w.get()));
    if (status == GSL_EMAXITER)
        return Fail(QString("the fit did not converge (%1 iterations)").arg(iterations));
    if (status != GSL_SUCCESS)
        return Fail(QString("the fit did not converge: %1").arg(gsl_strerror(status)));

    CircuitFit fit;
    fit.params = FromSolver(gsl_multifit_nlinear_position(w.get()));
    fit.points = static_cast<int>(samples.size());
    fit.iterations = iterations;
    const gsl_vector* f = gsl_multifit_nlinear_residual(w.get());
    double chi2 = 0;
    for (size_t i = 0; i < n; ++i)
        chi2 += gsl_vector_get(f, i) * gsl_vector_get(f, i);
    fit.residual = std::sqrt(chi2 / static_cast<double>(n));

    // Standard errors: the covariance (J^T J)^-1 scaled by the variance the residuals show, then
    // carried from the logarithms to the parameters (d Rs = Rs * d ln Rs).
    Matrix covar(gsl_matrix_alloc(ParamCount, ParamCount), &gsl_matrix_free);
    if (!covar || gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(w.get()), 0.0, covar.get()) !=
                      GSL_SUCCESS)
        return Fail("the fit gave no covariance");
    const double variance = chi2 / static_cast<double>(n - ParamCount);
    double se[ParamCount];
    for (size_t k = 0; k < ParamCount; ++k)
        se[k] = std::sqrt(variance * gsl_matrix_get(covar.get(), k, k));
    fit.errors = {fit.params.rs * se[0], fit.params.rp * se[1], fit.params.q * se[2], se[3]};

    const double all[] = {fit.params.rs, fit.params.rp, fit.params.q, fit.params.n,
                          fit.errors.rs, fit.errors.rp, fit.errors.q, fit.errors.n};
    if (!std::all_of(std::begin(all), std::end(all), [](double v) { return std::isfinite(v); }))
        return Fail("the fit found no finite parameters for this sweep");
    return fit;
}
