#include "Monitor.h"

#include "OpenFailure.h"
#include "Talvex.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr int kReplyDelayMs = TALVEX_REPLY_DELAY_MS;
constexpr int kLevelReplyDelayMs = TALVEX_LEVEL_REPLY_DELAY_MS;

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int) { g_stop = true; }

// One round of the readings the panel polls; the failure code of the first
// exchange that failed, or TALVEX_OK.
int ReadRound(talvex::metrics::Readings& r)
{
    unsigned char state = 0;
    if (!GetDevState(&state, kReplyDelayMs))
        return GetLastCommError();
    r.standby = (state & TALVEX_STATE_STANDBY) != 0;
    r.stereo = (state & TALVEX_STATE_MONO) == 0;
    r.echo = (state & TALVEX_STATE_ECHO_OFF) == 0;
    r.lineInput = (state & TALVEX_STATE_LINE_ON) != 0;
    r.micInput = (state & TALVEX_STATE_MIC_OFF) == 0;
    const struct {
        int (*get)(int*, int);
        int delay;
        int* out;
    } readings[] = {
        {&GetFMFreq, kReplyDelayMs, &r.frequencyTenths},    {&GetLaunchPWR, kReplyDelayMs, &r.powerSettingTenths},
        {&GetFwdPWR, kReplyDelayMs, &r.forwardPowerTenths}, {&GetStdyWaveRatio, kReplyDelayMs, &r.swrTenths},
        {&GetTemperature, kReplyDelayMs, &r.temperature},   {&GetLineVol, kReplyDelayMs, &r.lineVolume},
        {&GetMicVol, kReplyDelayMs, &r.micVolume},          {&GetRtVol, kLevelReplyDelayMs, &r.audioLevel},
        {&GetTmpPt, kReplyDelayMs, &r.temperaturePoint},    {&GetStdyWavePt, kReplyDelayMs, &r.swrPointTenths},
    };
    for (const auto& reading : readings) {
        if (!reading.get(reading.out, reading.delay))
            return GetLastCommError();
    }
    return TALVEX_OK;
}

}  // namespace

// A failed round counts its failure code.
int RunMonitor(const char* port, const talvex::metrics::ListenAddress& listen, int intervalS)
{
    namespace metrics = talvex::metrics;
    metrics::CMetricsServer server;
    std::string error;
    if (!server.Start(listen, &error)) {
        std::fprintf(stderr, "talvexctl: %s\n", error.c_str());
        return kExitUsage;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::printf("serving metrics at http://%s:%d/metrics\n", listen.host.c_str(), server.Port());
    std::fflush(stdout);

    metrics::Snapshot snapshot;
    snapshot.build = {"talvexctl", TALVEX_VERSION};
    server.Publish(snapshot);
    bool open = false;
    bool openFailing = false;
    while (!g_stop) {
        const auto roundStart = std::chrono::steady_clock::now();
        if (!open) {
            open = OpenCommPath(port, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr) != 0;
            // Said once per outage, not once per round.
            if (!open && !openFailing)
                std::fprintf(stderr, "talvexctl: %strying again every round\n",
                             ExplainOpenFailure(port, GetLastOpenError()).c_str());
            openFailing = !open;
        }
        if (open) {
            metrics::Readings readings;
            const int code = ReadRound(readings);
            snapshot.up = code == TALVEX_OK;
            if (snapshot.up) {
                snapshot.readings = readings;
                snapshot.lastGood = std::chrono::steady_clock::now();
            } else {
                snapshot.CountFailure(code);
                // A dead line or connection stays dead: open it afresh.
                if (code == TALVEX_E_WRITE || code == TALVEX_E_READ || code == TALVEX_E_NOT_OPEN) {
                    CloseComm();
                    open = false;
                }
            }
        } else {
            snapshot.up = false;
        }
        server.Publish(snapshot);
        const auto next = roundStart + std::chrono::seconds(intervalS);
        while (!g_stop && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    CloseComm();
    server.Stop();
    return kExitOk;
}
