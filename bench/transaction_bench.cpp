// Cost of one request/reply exchange beyond the library's fixed 50 ms pause
// and the reply delay (0 here), against the simulated transmitter on a
// pseudo-terminal. Reported per exchange kind as the median and the 99th
// percentile of that overhead in milliseconds; the goal is under 2 ms.
// "overhead" is the whole call less 50 ms, so it also carries how late the
// pause's sleep wakes up; "reply" is from the request's arrival at the
// transmitter to the call's return, which leaves the pause out entirely.
// The *_Rfc2217 and *_Socket runs reach the same simulator through a real
// ser2net on the loopback, by rfc2217:// and socket:// URLs, with ser2net's
// character delay off as docs/REMOTE.md recommends; *_Rfc2217CharDelay
// keeps ser2net's default delay.
// BM_SetLINEVol and BM_GetRtVol_Level make the exchanges the site service
// makes, with its reply delays (TALVEX_REPLY_DELAY_MS for a setting,
// TALVEX_LEVEL_REPLY_DELAY_MS for the level); their "overhead" leaves the
// reply delay out too, and "exchange" is the whole call, the figure a
// setting's API request is compared with (bench/talvexd-perf.sh).

#include "../tests/sim/SimTestSupport.h"
#include "../tests/support/Ser2Net.h"
#include "SimTransmitter.h"
#include "Talvex.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFixedPauseMs = 50.0;

double Percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

// Rfc2217Default: ser2net with its default character delay.
enum class Via { Pty, Rfc2217, Rfc2217Default, Socket };

template <typename Exchange>
void MeasureExchange(benchmark::State& state, Exchange exchange, Via via = Via::Pty, int replyDelayMs = 0)
{
    simtest::TempDir dir;
    SimTransmitter sim{SimOptions{.linkPath = dir.File("ttyTX")}};
    if (!sim.Start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    nettest::Ser2Net ser2net(via == Via::Rfc2217Default);
    std::string port = sim.DevicePath();
    if (via != Via::Pty) {
        std::string error;
        if (!ser2net.Start(dir.Path(), sim.LinkPath(), &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        port = via == Via::Socket ? ser2net.RawUrl() : ser2net.TelnetUrl();
    }
    if (!OpenCommPath(port.c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr)) {
        state.SkipWithError("port did not open");
        return;
    }
    const double fixedMs = kFixedPauseMs + replyDelayMs;
    std::vector<double> exchangeMs;
    std::vector<double> overheadMs;
    std::vector<double> replyMs;
    exchangeMs.reserve(static_cast<std::size_t>(state.max_iterations));
    overheadMs.reserve(static_cast<std::size_t>(state.max_iterations));
    replyMs.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = Clock::now();
        const int ok = exchange();
        const auto end = Clock::now();
        const auto took = end - start;
        if (!ok) {
            state.SkipWithError("exchange failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        exchangeMs.push_back(std::chrono::duration<double, std::milli>(took).count());
        overheadMs.push_back(exchangeMs.back() - fixedMs);
        replyMs.push_back(std::chrono::duration<double, std::milli>(end - sim.LastFrameTime()).count());
    }
    CloseComm();
    sim.Stop();
    state.counters["exchange_median_ms"] = Percentile(exchangeMs, 0.5);
    state.counters["overhead_median_ms"] = Percentile(overheadMs, 0.5);
    state.counters["overhead_p99_ms"] = Percentile(overheadMs, 0.99);
    state.counters["reply_median_ms"] = Percentile(replyMs, 0.5);
    state.counters["reply_p99_ms"] = Percentile(replyMs, 0.99);
    state.counters["overhead_max_ms"] =
        overheadMs.empty() ? 0.0 : *std::max_element(overheadMs.begin(), overheadMs.end());
}

void BM_GetDevState(benchmark::State& state)
{
    MeasureExchange(state, [] {
        unsigned char s = 0;
        return GetDevState(&s, 0);
    });
}

void BM_GetSerialNum(benchmark::State& state)
{
    MeasureExchange(state, [] {
        char text[20];
        return GetSerialNum(text, sizeof text, 0);
    });
}

void BM_SetFMFreq(benchmark::State& state)
{
    MeasureExchange(state, [] { return SetFMFreq(1000, 0); });
}

int ReadLevel()
{
    int level = 0;
    return GetRtVol(&level, 0);
}

// Alternates between two values, as a client stepping a setting back and forth.
void BM_SetLINEVol(benchmark::State& state)
{
    int volume = 6;  // the first call sends 5
    MeasureExchange(
        state,
        [&volume] {
            volume = volume == 5 ? 6 : 5;
            return SetLINEVol(volume, TALVEX_REPLY_DELAY_MS);
        },
        Via::Pty, TALVEX_REPLY_DELAY_MS);
}

void BM_GetRtVol_Level(benchmark::State& state)
{
    MeasureExchange(
        state,
        [] {
            int level = 0;
            return GetRtVol(&level, TALVEX_LEVEL_REPLY_DELAY_MS);
        },
        Via::Pty, TALVEX_LEVEL_REPLY_DELAY_MS);
}

void BM_GetDevState_Rfc2217(benchmark::State& state)
{
    MeasureExchange(
        state,
        [] {
            unsigned char s = 0;
            return GetDevState(&s, 0);
        },
        Via::Rfc2217);
}

void BM_GetRtVol_Rfc2217(benchmark::State& state) { MeasureExchange(state, ReadLevel, Via::Rfc2217); }

void BM_GetRtVol_Rfc2217CharDelay(benchmark::State& state) { MeasureExchange(state, ReadLevel, Via::Rfc2217Default); }

void BM_GetRtVol_Socket(benchmark::State& state) { MeasureExchange(state, ReadLevel, Via::Socket); }

}  // namespace

BENCHMARK(BM_GetDevState_Rfc2217)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetRtVol_Rfc2217)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetRtVol_Rfc2217CharDelay)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetRtVol_Socket)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDevState)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSerialNum)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetFMFreq)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetLINEVol)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetRtVol_Level)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
