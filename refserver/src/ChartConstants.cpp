#include "ChartConstants.h"

#include <cmath>
#include <vector>

namespace refsrv {

namespace {

double Phi(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// P(a, x), by its series below a + 1 and by the continued fraction of Q(a, x) above.
double LowerGammaRatio(double a, double x) {
    if (x <= 0)
        return 0.0;
    const double front = std::exp(-x + a * std::log(x) - std::lgamma(a));
    if (x < a + 1) {
        double term = 1 / a, sum = term;
        for (int n = 1; n < 1000 && std::fabs(term) > sum * 1e-16; ++n)
            sum += term *= x / (a + n);
        return sum * front;
    }
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 1000; ++i) {
        double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        d = std::fabs(d) < tiny ? tiny : d;
        c = b + an / c;
        c = std::fabs(c) < tiny ? tiny : c;
        d = 1 / d;
        h *= d * c;
        if (std::fabs(d * c - 1) < 1e-16)
            break;
    }
    return 1 - front * h;
}

// A start for Newton's method: the normal quantile to about 4.5e-4 (a rational approximation
// in sqrt(-2 ln q)).
double RoughNormalQuantile(double p) {
    double q = p < 0.5 ? p : 1 - p;
    double t = std::sqrt(-2 * std::log(q));
    double z = t - (2.515517 + t * (0.802853 + t * 0.010328)) /
                       (1 + t * (1.432788 + t * (0.189269 + t * 0.001308)));
    return p < 0.5 ? -z : z;
}

constexpr double kPi = 3.14159265358979323846;

double SimpsonWeight(size_t i, size_t last) {
    return i == 0 || i == last ? 1.0 : (i % 2 ? 4.0 : 2.0);
}

} // namespace

double ComputeD2(long n) {
    if (n < 2)
        return 0.0;
    const double from = -12.0, to = 12.0;
    const size_t steps = 4800;
    const double h = (to - from) / steps;
    double sum = 0;
    for (size_t i = 0; i <= steps; ++i) {
        double p = Phi(from + i * h);
        sum += SimpsonWeight(i, steps) * (1.0 - std::pow(p, n) - std::pow(1.0 - p, n));
    }
    return sum * h / 3.0;
}

double ComputeD3(long n) {
    if (n < 2)
        return 0.0;
    // x and w share one grid, so Phi(x + w) is a table lookup.
    const double h = 0.02;
    const double from = -9.0, to = 9.0, widest = 14.0;
    const size_t xSteps = static_cast<size_t>((to - from) / h);
    const size_t wSteps = static_cast<size_t>(widest / h);
    std::vector<double> phi(xSteps + wSteps + 1), density(xSteps + 1);
    for (size_t i = 0; i < phi.size(); ++i)
        phi[i] = Phi(from + i * h);
    for (size_t i = 0; i <= xSteps; ++i) {
        double x = from + i * h;
        density[i] = std::exp(-0.5 * x * x) / std::sqrt(2.0 * kPi);
    }
    double secondMoment = 0;
    for (size_t j = 0; j <= wSteps; ++j) {
        double inner = 0;
        for (size_t i = 0; i <= xSteps; ++i) {
            double spread = phi[i + j] - phi[i];
            if (spread > 0)
                inner += SimpsonWeight(i, xSteps) * density[i] * std::pow(spread, n - 1);
        }
        double atMost = n * inner * h / 3.0;
        secondMoment += SimpsonWeight(j, wSteps) * 2.0 * (j * h) * (1.0 - atMost);
    }
    secondMoment *= h / 3.0;
    double d2 = ComputeD2(n);
    return std::sqrt(std::fmax(secondMoment - d2 * d2, 0.0));
}

double ComputeC4(long n) {
    if (n < 2)
        return 0.0;
    return std::sqrt(2.0 / (n - 1)) * std::exp(std::lgamma(n / 2.0) - std::lgamma((n - 1) / 2.0));
}

double NormalCdf(double x) {
    return Phi(x);
}

double ChiSquareQuantile(double p, double degrees) {
    if (!(p > 0 && p < 1 && degrees > 0))
        return std::nan("");
    const double a = degrees / 2, w = 2 / (9 * degrees);
    double x = degrees * std::pow(1 - w + RoughNormalQuantile(p) * std::sqrt(w), 3);
    double low = 0, high = std::fmax(x, 1.0);
    while (LowerGammaRatio(a, high / 2) < p)
        high *= 2;
    if (!(x > low && x < high))
        x = high / 2;
    for (int i = 0; i < 200; ++i) {
        double error = LowerGammaRatio(a, x / 2) - p;
        (error < 0 ? low : high) = x;
        double density = std::exp((a - 1) * std::log(x / 2) - x / 2 - std::lgamma(a)) / 2;
        double next = x - error / density;
        if (!(next > low && next < high))
            next = (low + high) / 2;
        if (std::fabs(next - x) <= 1e-12 * x)
            return next;
        x = next;
    }
    return x;
}

} // namespace refsrv
