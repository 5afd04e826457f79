#pragma once
// Least-squares fit of one cubic Bezier segment through a run of curve
// samples. The end points are fixed; only the two inner control points move.
//
// `samples` holds count / 2 points as (x, y) pairs: the start point P0, the
// run's k samples, then the end point Pe, so count = 2k + 4. `controls`
// receives C1.x, C1.y, C2.x, C2.y.

// Sum over the samples of the squared distance from each sample to the curve
// P0, C1, C2, Pe (nearest point found by a coarse scan plus secant steps).
double CurveRunError(const double* samples, int count, const double* controls);

// Fits C1 and C2 by a coordinate search that starts from each end point
// reflected through its nearest sample.
void FitCurveRun(const double* samples, int count, double* controls);

// The parameter step of the coarse scan for a run: 2 / count, i.e. 1 / (k + 2).
double CurveRunStep(int count);
