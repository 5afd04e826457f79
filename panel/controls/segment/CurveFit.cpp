#include "CurveFit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Loop guards. The secant steps and the coordinate search both stop on
// their own for every real outline within a few dozen rounds; the guards
// only keep a degenerate input (NaN, overflowing coordinates, a cycling
// secant) from hanging a paint.
constexpr int kMaxSecantSteps = 100;
constexpr int kMaxSearchSteps = 2000;

// One coordinate of the curve in the symmetric parameter s in [-1, 1]
// (t = (s + 1) / 2), which keeps the polynomial well conditioned.
struct Cubic {
    double a0, a1, a2, a3;

    Cubic(double p0, double p1, double p2, double p3)
    {
        a3 = (3.0 * (p1 - p2) + (p3 - p0)) / 8.0;
        a2 = 3.0 * ((p0 + p3) - p1 - p2) / 8.0;
        a1 = (p3 - p0) / 2.0 - a3;
        a0 = (p0 + p3) / 2.0 - a2;
    }
    double Value(double s) const { return a0 + a1 * s + a2 * s * s + a3 * s * s * s; }
    double Slope(double s) const { return a1 + 2.0 * a2 * s + 3.0 * a3 * s * s; }
};

struct Probe {
    double d2;  // squared distance
    double g;   // half the derivative of d2 with respect to s
};

Probe Evaluate(const Cubic& cx, const Cubic& cy, double px, double py, double s)
{
    const double ex = cx.Value(s) - px;
    const double ey = cy.Value(s) - py;
    return {ex * ex + ey * ey, ex * cx.Slope(s) + ey * cy.Slope(s)};
}

double SampleError(const Cubic& cx, const Cubic& cy, double px, double py, double h)
{
    // Coarse scan for the nearest parameter.
    double bestS = -1.0;
    double bestD2 = std::numeric_limits<double>::infinity();
    bool found = false;
    for (int i = 0;; ++i) {
        const double s = -1.0 + i * h;
        if (!(s <= 1.01)) {
            break;
        }
        const Probe probe = Evaluate(cx, cy, px, py, s);
        if (probe.d2 == 0.0) {
            return 0.0;
        }
        if (!found || probe.d2 < bestD2) {
            bestD2 = probe.d2;
            bestS = s;
            found = true;
        }
    }

    // Secant steps towards g(s) = 0 from the best scanned parameter.
    double sPrev = bestS;
    double gPrev = Evaluate(cx, cy, px, py, sPrev).g;
    double sCur = bestS + h;
    if (sCur > 1.0) {
        sCur = 1.0 - h;
    }
    Probe cur = Evaluate(cx, cy, px, py, sCur);
    for (int step = 0; step < kMaxSecantSteps && cur.d2 != 0.0 && cur.g != 0.0; ++step) {
        double sNew = (cur.g != gPrev) ? (cur.g * sPrev - sCur * gPrev) / (cur.g - gPrev) : (sCur + sPrev) / 2.0;
        if (std::isnan(sNew)) {
            break;
        }
        sNew = std::clamp(sNew, -1.0, 1.0);
        if (std::fabs(sNew - sCur) < 0.001) {
            break;
        }
        sPrev = sCur;
        gPrev = cur.g;
        sCur = sNew;
        cur = Evaluate(cx, cy, px, py, sCur);
    }
    return cur.d2;
}

}  // namespace

double CurveRunStep(int count) { return 2.0 / count; }

double CurveRunError(const double* samples, int count, const double* controls)
{
    const int points = count / 2;
    if (points < 3) {
        return 0.0;
    }
    const double* pe = samples + 2 * (points - 1);
    const Cubic cx(samples[0], controls[0], controls[2], pe[0]);
    const Cubic cy(samples[1], controls[1], controls[3], pe[1]);
    const double h = CurveRunStep(count);
    double sum = 0.0;
    for (int i = 1; i < points - 1; ++i) {
        sum += SampleError(cx, cy, samples[2 * i], samples[2 * i + 1], h);
    }
    return sum;
}

void FitCurveRun(const double* samples, int count, double* controls)
{
    const int points = count / 2;
    const double* p0 = samples;
    const double* pe = samples + 2 * (points - 1);
    if (points < 3) {
        // No sample to fit: the straight segment's thirds.
        controls[0] = p0[0] + (pe[0] - p0[0]) / 3.0;
        controls[1] = p0[1] + (pe[1] - p0[1]) / 3.0;
        controls[2] = p0[0] + 2.0 * (pe[0] - p0[0]) / 3.0;
        controls[3] = p0[1] + 2.0 * (pe[1] - p0[1]) / 3.0;
        return;
    }
    const double* s1 = samples + 2;
    const double* sk = samples + 2 * (points - 2);

    // Each end point reflected through its nearest sample.
    controls[0] = 2.0 * s1[0] - p0[0];
    controls[1] = 2.0 * s1[1] - p0[1];
    controls[2] = 2.0 * sk[0] - pe[0];
    controls[3] = 2.0 * sk[1] - pe[1];
    double best = CurveRunError(samples, count, controls);

    const double anchors[4] = {p0[0], p0[1], pe[0], pe[1]};
    for (int pass = 0; pass < 2; ++pass) {
        for (int c = 0; c < 4; ++c) {
            double& v = controls[c];
            const double a = anchors[c];
            double f = 0.5;
            double saved = v;
            for (int step = 0; step < kMaxSearchSteps && std::fabs(f) >= 0.01; ++step) {
                v = v + f * (v - a);
                const double e = CurveRunError(samples, count, controls);
                if (e == best) {
                    break;
                }
                if (e < best) {
                    best = e;
                    saved = v;
                } else {
                    f *= -1.0 / 3.0;
                    v = saved;
                }
            }
        }
    }
}
