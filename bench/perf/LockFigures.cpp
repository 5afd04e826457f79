#include "LockFigures.h"

#include "PerfStats.h"

#include "core/DeviceAccess.h"
#include "core/DevicePoller.h"
#include "core/Readings.h"

#include <SimTransmitter.h>
#include <Talvex.h>

#include <QCoreApplication>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace perf {

namespace {

using Clock = std::chrono::steady_clock;

// Counts level readings, received as the core receives them; the status
// readings are dropped.
class LevelCounter : public QObject
{
public:
    int m_levels = 0;

    void Listen(CDevicePoller& poller)
    {
        connect(&poller, &CDevicePoller::reading, this,
                [this](ReadingKind kind, int) { m_levels += kind == ReadingKind::Level ? 1 : 0; });
    }
};

}  // namespace

LockFigures MeasureLockSharing(double seconds)
{
    LockFigures figures;
    SimTransmitter sim;
    if (!sim.Start()) {
        return figures;
    }
    SimState state = sim.State();
    state.standby = false;  // on: the status thread reads all seven
    sim.SetState(state);
    if (!OpenCommPath(sim.DevicePath().c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr)) {
        return figures;
    }
    LevelCounter counter;
    std::vector<double> waits;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(40, 90);
    {
        CDevicePoller status(kStatusPeriod, ReadStatus);
        CDevicePoller level(kLevelPeriod, ReadLevel);
        counter.Listen(status);
        counter.Listen(level);
        status.Start();
        level.Start();
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            const auto asked = Clock::now();
            DeviceAccess lock(g_csDevice);
            waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
            IsOpen();  // an action's call, without a transaction of its own
        }
        // The readings handed over so far reach the counter through the pollers.
        QCoreApplication::sendPostedEvents(&level);
        const int levels = counter.m_levels;
        level.Stop();
        status.Stop();
        figures.levelPerSecond = levels / seconds;
    }
    CloseComm();
    figures.actions = static_cast<int>(waits.size());
    figures.longestWaitMs = Percentile(waits, 1.0);
    figures.medianWaitMs = Percentile(waits, 0.5);
    return figures;
}

}  // namespace perf
