// The four distortion coefficients fitted to OpenHMD's universal distortion,
// and a driver's own taken only when a lens can have them.

#include "DistortionFit.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

using OpenHmdHeadset::FitDistortion;
using OpenHmdHeadset::IsPlausibleDistortion;
using Coefficients = std::array<float, 4>;

TEST(DistortionFitTest, WhatTheModelHoldsComesBackExactly)
{
    // OpenHMD's default, no distortion, as its Null device gives it.
    EXPECT_EQ(FitDistortion({0, 0, 0, 1}), (Coefficients{1, 0, 0, 0}));
    EXPECT_EQ(FitDistortion({0, 0.25f, 0, 0.75f}), (Coefficients{0.75f, 0.25f, 0, 0}));
}

TEST(DistortionFitTest, TheRestIsFittedByLeastSquares)
{
    // OpenHMD's Rift DK1, DK2 and CV1, and its 3Glasses.
    const Coefficients devices[] = {{1.003f, -1.005f, 0.403f, 0.599f},
                                    {0.247f, -0.145f, 0.103f, 0.795f},
                                    {0.098f, 0.324f, -0.241f, 0.819f},
                                    {0.75239515f, -0.84751135f, 0.42455423f, 0.66200626f}};
    for (const auto& [a, b, c, d] : devices) {
        const Coefficients k = FitDistortion({a, b, c, d});
        // The least error, over 101 evenly spaced radii, is orthogonal to
        // every term of the model.
        double along[4] = {}, norm[4] = {};
        for (int i = 0; i <= 100; ++i) {
            const double r = i / 100.0, r2 = r * r;
            const double error =
                k[0] + r2 * (k[1] + r2 * (k[2] + r2 * k[3])) - (((a * r + b) * r + c) * r + d);
            EXPECT_LT(std::fabs(error), 0.05);
            for (int term = 0; term < 4; ++term) {
                along[term] += std::pow(r2, term) * error;
                norm[term] += std::pow(r2, 2 * term);
            }
        }
        for (int term = 0; term < 4; ++term) {
            EXPECT_NEAR(along[term] / norm[term], 0, 1e-5) << "r^" << 2 * term;
        }
    }
}

TEST(DistortionFitTest, OnlyCoefficientsALensCanHaveAreTakenAsTheHeadsetsOwn)
{
    const struct {
        Coefficients k;
        bool isPlausible;
    } cases[] = {
        {{1, 0.22f, 0.24f, 0}, true}, // the Rift DK1's
        {{1, 0, 0, 0}, true},         {{0.5f, -1, 1, -1}, true},    {{2, 1, -1, 1}, true},
        {{0, 174, 143, 0}, false}, // the DK1's as OpenHMD 0.3.0 gives them
        {{0, 0, 0, 0}, false},        {{0.49f, 0, 0, 0}, false},    {{2.01f, 0, 0, 0}, false},
        {{1, 1.01f, 0, 0}, false},    {{1, 0, -1.01f, 0}, false},   {{1, 0, 0, 1.01f}, false},
        {{NAN, 0, 0, 0}, false},      {{1, 0, INFINITY, 0}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsPlausibleDistortion(c.k), c.isPlausible)
            << c.k[0] << " " << c.k[1] << " " << c.k[2] << " " << c.k[3];
    }
}

} // namespace
