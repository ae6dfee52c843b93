// The control chart constants for a subgroup of n normal observations, computed rather than
// looked up, so that every subgroup size has them:
//   d2(n) = E[R]/sigma, the mean range:      integral of 1 - Phi(x)^n - (1 - Phi(x))^n over x
//   d3(n) = sd[R]/sigma, from E[R^2] =       integral over w > 0 of 2w P(R > w), where
//           P(R <= w) = n * integral of phi(x) (Phi(x + w) - Phi(x))^(n-1) over x
//   c4(n) = E[S]/sigma = sqrt(2/(n-1)) Gamma(n/2) / Gamma((n-1)/2)
// The integrals use Simpson's rule on a fine grid; the results agree with the published tables
// to their last digit.
//
// The variance chart's probability limits need quantiles of the chi-square distribution:
// ChiSquareQuantile(p, df) inverts the regularised lower incomplete gamma function
// P(df/2, x/2) = p by Newton's method from the Wilson-Hilferty start, kept inside a bracket by
// bisection, to a relative 1e-12.
#pragma once

namespace refsrv {

// The largest subgroup the server charts.
constexpr long kMaxSubgroupSize = 1000;
// The longest window of a moving statistic.
constexpr long kMaxSpan = 100;

double ComputeD2(long n);
double ComputeD3(long n);
double ComputeC4(long n);
// The probability that a standard normal variable is at most x.
double NormalCdf(double x);
double ChiSquareQuantile(double p, double degrees);

} // namespace refsrv
