// Paint cost of a segment display: the readouts repaint on every status
// reading, and curved outlines refit their curves on every paint.
#include "controls/segment/SegmentDisplay.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void PaintDisplay(benchmark::State& state, std::uint32_t addStyle)
{
    CSegmentDisplay display;
    display.resize(400, 150);
    display.SetBackColor(0);
    display.SetSegmentColors(0x3400, 0xFF00);
    display.ModifySegmentStyle(0, addStyle);
    display.SetText("-88.88");  // six characters: minus, four digits, a dot
    QImage target(400, 150, QImage::Format_RGB32);
    for (auto _ : state) {
        display.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_PaintCurved(benchmark::State& state) { PaintDisplay(state, SEGSTYLE_CURVED); }
void BM_PaintStraight(benchmark::State& state) { PaintDisplay(state, 0); }

BENCHMARK(BM_PaintCurved)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintStraight)->Unit(benchmark::kMicrosecond);

}  // namespace
