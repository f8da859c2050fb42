// The four distortion coefficients fitted to OpenHMD's universal distortion.

#include "DistortionFit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

using OpenHmdHeadset::FitDistortion;
using Coefficients = std::array<float, 4>;

// The fit's error at each of 101 evenly spaced radii.
std::vector<double> Errors(const Coefficients& universal, const Coefficients& k)
{
    const auto [a, b, c, d] = universal;
    std::vector<double> errors;
    for (int i = 0; i <= 100; ++i) {
        const double r = i / 100.0, r2 = r * r;
        const double fitted = k[0] + r2 * (k[1] + r2 * (k[2] + r2 * k[3]));
        errors.push_back(fitted - (((a * r + b) * r + c) * r + d));
    }
    return errors;
}

TEST(DistortionFitTest, WhatTheModelHoldsComesBackExactly)
{
    // OpenHMD's default, no distortion, as its Null device gives it.
    EXPECT_EQ(FitDistortion({0, 0, 0, 1}), (Coefficients{1, 0, 0, 0}));
    EXPECT_EQ(FitDistortion({0, 0.25f, 0, 0.75f}), (Coefficients{0.75f, 0.25f, 0, 0}));
}

TEST(DistortionFitTest, TheOddTermsAreFittedByLeastSquares)
{
    // OpenHMD's Rift DK1, DK2 and CV1, and its 3Glasses.
    const Coefficients devices[] = {{1.003f, -1.005f, 0.403f, 0.599f},
                                    {0.247f, -0.145f, 0.103f, 0.795f},
                                    {0.098f, 0.324f, -0.241f, 0.819f},
                                    {0.75239515f, -0.84751135f, 0.42455423f, 0.66200626f}};
    for (const Coefficients& universal : devices) {
        const std::vector<double> errors = Errors(universal, FitDistortion(universal));
        for (double error : errors) {
            EXPECT_LT(std::fabs(error), 0.05);
        }
        // The least error leaves what no term can take up: the error is
        // orthogonal to every term.
        for (int power = 0; power <= 6; power += 2) {
            double along = 0, norm = 0;
            for (size_t i = 0; i < errors.size(); ++i) {
                const double term = std::pow(i / 100.0, power);
                along += term * errors[i];
                norm += term * term;
            }
            EXPECT_NEAR(along / norm, 0, 1e-5) << "r^" << power;
        }
    }
}

} // namespace
