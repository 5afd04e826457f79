#pragma once
// The snapshot in Prometheus's text exposition format (version 0.0.4).

#include "MetricsSnapshot.h"

#include <string>

namespace talvex::metrics {

inline constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

// Renders `snapshot`. Reading series, and the time of the last reading,
// are left out while there is no reading yet, so that Prometheus shows them
// as absent rather than as zero.
std::string RenderPrometheus(const Snapshot& snapshot);

// "123" from 1230 tenths is "123.0": exact, with no floating point.
std::string FormatTenths(int tenths);

}  // namespace talvex::metrics
