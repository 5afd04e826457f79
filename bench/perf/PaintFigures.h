#pragma once
// One paint of each custom control, taken from the controls' paint
// benchmarks so that the table and the benchmarks measure the same thing.

#include <QByteArray>
#include <QStringList>
#include <string>
#include <vector>

namespace perf {

struct PaintFigure {
    std::string control;  // readable name of the control and its look
    double microseconds = 0;
};

// The per-paint times in a benchmark program's JSON report, in the order
// reported. Rows other than iteration results (aggregates, errors) are left
// out.
std::vector<PaintFigure> PaintFiguresFromJson(const QByteArray& json);

// Runs each benchmark program and collects its figures.
std::vector<PaintFigure> MeasurePaints(const QStringList& programs);

}  // namespace perf
