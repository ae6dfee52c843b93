#include "ChartConstants.h"

#include <cmath>
#include <vector>

namespace refsrv {

namespace {

double Phi(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
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

} // namespace refsrv
