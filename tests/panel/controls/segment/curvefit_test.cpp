// Least-squares fitting of a cubic through a run of curve samples.
#include "controls/segment/CurveFit.h"
#include "controls/segment/SegmentStyle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Pt {
    double x, y;
};

// Point of the cubic Bezier p0..p3 at t in [0, 1] (Bernstein form, independent
// of the fitting code's own polynomial form).
Pt Bezier(Pt p0, Pt p1, Pt p2, Pt p3, double t)
{
    const double u = 1 - t;
    const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    return {b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x, b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y};
}

std::vector<double> RunOf(Pt p0, const std::vector<Pt>& samples, Pt pe)
{
    std::vector<double> v = {p0.x, p0.y};
    for (const Pt& s : samples) {
        v.push_back(s.x);
        v.push_back(s.y);
    }
    v.push_back(pe.x);
    v.push_back(pe.y);
    return v;
}

double Error(const std::vector<double>& run, const double* controls)
{
    return CurveRunError(run.data(), static_cast<int>(run.size()), controls);
}

}  // namespace

TEST(CurveRunFit, ScanStepFollowsTheRunLengthOfTheTables)
{
    const auto seven = Cell('8', SEGSTYLE_CURVED);
    const auto runs7 = seven->Outlines()[2].CurveRuns();  // curved right side
    ASSERT_FALSE(runs7.empty());
    EXPECT_EQ(runs7[0].length, 2);
    EXPECT_DOUBLE_EQ(CurveRunStep(2 * runs7[0].length + 4), 1.0 / 4);

    const auto alpha = Cell('\'', SEGSTYLE_CURVED);
    const auto runs14 = alpha->Outlines()[0].CurveRuns();  // curved stem
    ASSERT_FALSE(runs14.empty());
    EXPECT_EQ(runs14[0].length, 5);
    EXPECT_DOUBLE_EQ(CurveRunStep(2 * runs14[0].length + 4), 1.0 / 7);
}

TEST(CurveRunFit, ErrorFindsTheNearestPointOfEachSample)
{
    // With two samples the scan steps by 1/4 in s (1/8 in t), so samples taken
    // at t = 1/8 and t = 3/4 are hit exactly; all values here are exact in binary.
    const Pt p0{0, 0}, c1{0, 8}, c2{8, 8}, pe{8, 0};
    const double curved[4] = {c1.x, c1.y, c2.x, c2.y};
    EXPECT_EQ(Error(RunOf(p0, {Bezier(p0, c1, c2, pe, 0.125), Bezier(p0, c1, c2, pe, 0.75)}, pe), curved), 0.0);

    // Between scan steps the secant refinement finds the foot of the
    // perpendicular on a straight "curve" along y = 0, x from 0 to 12,
    // also close to the end where it must not stop short.
    const Pt q0{0, 0}, qe{12, 0};
    const double straight[4] = {4, 0, 8, 0};
    EXPECT_NEAR(Error(RunOf(q0, {{3, 2}}, qe), straight), 4.0, 1e-9);
    EXPECT_NEAR(Error(RunOf(q0, {{3, 2}, {10, -1}}, qe), straight), 5.0, 1e-9);
    EXPECT_NEAR(Error(RunOf(q0, {{11.7, 1}}, qe), straight), 1.0, 1e-9);
}

TEST(CurveRunFit, RecoversAKnownCubicFromItsSamples)
{
    const Pt p0{0, 0}, c1{10, 30}, c2{40, 30}, pe{50, 0};
    std::vector<Pt> samples;
    for (double t : {0.15, 0.3, 0.5, 0.7, 0.85}) {
        samples.push_back(Bezier(p0, c1, c2, pe, t));
    }
    const auto run = RunOf(p0, samples, pe);
    double fit[4];
    FitCurveRun(run.data(), static_cast<int>(run.size()), fit);

    const double start[4] = {2 * samples.front().x - p0.x, 2 * samples.front().y - p0.y, 2 * samples.back().x - pe.x,
                             2 * samples.back().y - pe.y};
    // The coordinate search is short (two passes), so the fit is close rather
    // than exact: far better than the start, about half a unit per sample on
    // a curve 50 units wide.
    const double fitted = Error(run, fit);
    EXPECT_LT(fitted, Error(run, start) / 50);
    EXPECT_LT(fitted, 5 * 0.5 * 0.5);

    // A short run with few samples: the search never leaves a worse fit than its start.
    const auto corner = RunOf({0, 0}, {{1, 3}, {2, 4}}, {6, 5});
    const double cornerStart[4] = {2, 6, -2, 3};
    double cornerFit[4];
    FitCurveRun(corner.data(), static_cast<int>(corner.size()), cornerFit);
    EXPECT_LE(Error(corner, cornerFit), Error(corner, cornerStart));
}

TEST(CurveRunFit, DegenerateRunsFinishWithFiniteControls)
{
    // All points equal: every coordinate sits on its anchor and stays there.
    const auto still = RunOf({7, 7}, {{7, 7}, {7, 7}}, {7, 7});
    double fit[4];
    FitCurveRun(still.data(), static_cast<int>(still.size()), fit);
    for (double v : fit) {
        EXPECT_DOUBLE_EQ(v, 7.0);
    }
    // A NaN sample must not hang the fit, and leaves the other end usable.
    const auto broken = RunOf({0, 0}, {{std::nan(""), 1}, {2, 2}}, {4, 0});
    FitCurveRun(broken.data(), static_cast<int>(broken.size()), fit);
    EXPECT_TRUE(std::isfinite(fit[2]) && std::isfinite(fit[3]));
}
