// Paint cost of the skinned slider, the level meter and the image button:
// the meter repaints on every level reading (ten a second), the slider on
// every thumb move while dragging.
#include "controls/ImageButton.h"
#include "controls/Resources.h"
#include "controls/SkinProgress.h"
#include "controls/SkinSliderTenths.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

template <typename Widget>
void PaintInto(benchmark::State& state, Widget& widget)
{
    QImage target(widget.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        widget.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_PaintSlider(benchmark::State& state)
{
    CSkinSliderTenths slider;
    slider.resize(596, 25);  // the frequency slider
    slider.SetRange(870, 1080);
    slider.SetPos(1000);
    PaintInto(state, slider);
}

void BM_PaintLevelMeter(benchmark::State& state)
{
    CSkinProgress meter;
    meter.resize(656, 24);
    meter.SetRange(0, 255);
    meter.SetPos(255);  // all 30 blocks lit
    PaintInto(state, meter);
}

void BM_PaintCaptionButton(benchmark::State& state)
{
    CImageButton button;
    button.resize(90, 96);  // ON/OFF
    button.setText(QStringLiteral("ON\nOFF"));
    PaintInto(state, button);
}

void BM_PaintImageButton(benchmark::State& state)
{
    CImageButton button;
    button.resize(18, 15);  // a step button
    button.LoadImages(IDB_TRIANGLE_UP, Rgb(255, 255, 255));
    button.setEnabled(state.range(0) != 0);
    PaintInto(state, button);
}

BENCHMARK(BM_PaintSlider)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintLevelMeter)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintCaptionButton)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintImageButton)->Arg(1)->Arg(0)->ArgName("enabled")->Unit(benchmark::kMicrosecond);

}  // namespace
