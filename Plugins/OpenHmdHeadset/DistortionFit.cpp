#include "DistortionFit.h"

#include <cmath>
#include <utility>

namespace OpenHmdHeadset {

namespace {

constexpr int kTerms = 4;
constexpr int kSamples = 101;

using Matrix = double[kTerms][kTerms + 1];

// Solves the augmented system in place by elimination with partial pivoting.
std::array<double, kTerms> _Solve(Matrix& m)
{
    for (int column = 0; column < kTerms; ++column) {
        int pivot = column;
        for (int row = column + 1; row < kTerms; ++row) {
            if (std::fabs(m[row][column]) > std::fabs(m[pivot][column])) {
                pivot = row;
            }
        }
        std::swap(m[column], m[pivot]);
        for (int row = column + 1; row < kTerms; ++row) {
            const double factor = m[row][column] / m[column][column];
            for (int k = column; k <= kTerms; ++k) {
                m[row][k] -= factor * m[column][k];
            }
        }
    }
    std::array<double, kTerms> x{};
    for (int row = kTerms - 1; row >= 0; --row) {
        double sum = m[row][kTerms];
        for (int k = row + 1; k < kTerms; ++k) {
            sum -= m[row][k] * x[k];
        }
        x[row] = sum / m[row][row];
    }
    return x;
}

// The least-squares coefficients of r^power over evenly spaced radii.
std::array<double, kTerms> _FitOfPower(int power)
{
    Matrix normal = {};
    for (int i = 0; i < kSamples; ++i) {
        const double r = static_cast<double>(i) / (kSamples - 1);
        const double r2 = r * r;
        const double basis[kTerms] = {1, r2, r2 * r2, r2 * r2 * r2};
        for (int row = 0; row < kTerms; ++row) {
            for (int column = 0; column < kTerms; ++column) {
                normal[row][column] += basis[row] * basis[column];
            }
            normal[row][kTerms] += basis[row] * std::pow(r, power);
        }
    }
    return _Solve(normal);
}

} // namespace

std::array<float, 4> FitDistortion(const std::array<float, 4>& universal)
{
    // d and b r^2 are terms of the model already; only c r and a r^3 are
    // fitted, so that a distortion the model holds comes back exactly.
    static const std::array<double, kTerms> linear = _FitOfPower(1);
    static const std::array<double, kTerms> cubic = _FitOfPower(3);
    const auto [a, b, c, d] = universal;
    std::array<float, 4> k;
    const double exact[kTerms] = {d, b, 0, 0};
    for (int i = 0; i < kTerms; ++i) {
        k[i] = static_cast<float>(exact[i] + (c * linear[i] + a * cubic[i]));
    }
    return k;
}

bool IsPlausibleDistortion(const std::array<float, 4>& k)
{
    // Written so that NaN fails.
    const auto within = [](float value, float lowest, float highest) {
        return value >= lowest && value <= highest;
    };
    return within(k[0], 0.5f, 2) && within(k[1], -1, 1) && within(k[2], -1, 1) &&
           within(k[3], -1, 1);
}

} // namespace OpenHmdHeadset
