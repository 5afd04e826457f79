// The site database at its default keeping: 30 days of readings at one row
// per 10 s (259 200 rows), filled through CSiteData in batches of 5000, one
// transaction each. BM_QueryHistory24h asks for the last 24 h in 60 s steps
// (the web page's day chart; goal under 50 ms) and reports the file's size
// (goal under 50 MB). BM_Record and BM_AddReadings are the writer's cost per
// call: queued and written, with Flush after every `batch` calls (1: the
// site's pace, one transaction per row; 1000: a burst).

#include "../tests/sim/SimTestSupport.h"
#include "talvexd/data/SiteData.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;
using talvexd::CSiteData;
using talvexd::WallClock;

constexpr int kRows = 30 * 86400 / 10;
constexpr int kFillBatch = 5000;

talvexd::SiteStatus Readings(WallClock::time_point at, int i)
{
    talvexd::SiteStatus status;
    status.linkUp = true;
    status.readAt = at;
    status.standby = false;
    status.frequency = 981;
    status.powerSetting = 150;
    status.forwardPower = 140 + i % 17;
    status.swr = 11 + i % 3;
    status.temperature = 35 + i % 11;
    status.level = 20000 + (i * 7919) % 30000;
    status.lineVolume = 7;
    status.micVolume = 12;
    return status;
}

// The 30 days, made once for every run of the query.
struct Filled {
    simtest::TempDir dir;
    CSiteData data;
    WallClock::time_point end;
    double fillSeconds = 0;

    Filled()
    {
        CSiteData::Options options;
        options.directory = dir.Path();
        options.historyDays = 31;
        if (!data.Open(options, nullptr))
            std::abort();
        end = std::chrono::floor<std::chrono::minutes>(WallClock::now());
        const auto start = end - 30 * 24h;
        const auto began = std::chrono::steady_clock::now();
        for (int i = 0; i < kRows; ++i) {
            data.AddReadings(Readings(start + i * 10s, i));
            if (i % kFillBatch == kFillBatch - 1 && !data.Flush(60s))
                std::abort();
        }
        if (!data.Flush(60s))
            std::abort();
        fillSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    }
};

void BM_QueryHistory24h(benchmark::State& state)
{
    static Filled filled;
    std::size_t points = 0;
    for (auto _ : state) {
        const auto buckets =
            filled.data.QueryHistory(talvexd::Reading::ForwardPower, filled.end - 24h, filled.end, 60s);
        points = buckets.size();
        benchmark::DoNotOptimize(buckets.data());
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["file_MB"] = static_cast<double>(filled.data.CurrentHealth().bytes) / 1e6;
    state.counters["fill_s"] = filled.fillSeconds;
    state.counters["rows"] = kRows;
}
BENCHMARK(BM_QueryHistory24h)->Unit(benchmark::kMillisecond);

// Calls `call(i)` `batch` times, then waits for the writer; per call.
template <typename Call>
void WriterCost(benchmark::State& state, Call call)
{
    simtest::TempDir dir;
    CSiteData data;
    CSiteData::Options options;
    options.directory = dir.Path();
    if (!data.Open(options, nullptr))
        std::abort();
    const int batch = static_cast<int>(state.range(0));
    int i = 0;
    for (auto _ : state) {
        for (int n = 0; n < batch; ++n)
            call(data, i++);
        if (!data.Flush(60s))
            state.SkipWithError("the writer did not finish");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * batch);
    state.counters["per_call_us"] = benchmark::Counter(static_cast<double>(state.iterations()) * batch * 1e-6,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Record(benchmark::State& state)
{
    const std::string text = "'operator' set power_setting_w to 15.0: done";
    WriterCost(state, [&](CSiteData& data, int) {
        data.Record({WallClock::now(), talvexd::EventKind::Change, "operator", text});
    });
}
BENCHMARK(BM_Record)->Arg(1)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_AddReadings(benchmark::State& state)
{
    const auto start = WallClock::now() - 24h;
    WriterCost(state, [&](CSiteData& data, int i) { data.AddReadings(Readings(start + i * 10s, i)); });
}
BENCHMARK(BM_AddReadings)->Arg(1)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
