#include "LockFigures.h"

#include "PerfStats.h"

#include "device/DeviceAccess.h"
#include "device/DevicePoller.h"
#include "device/Readings.h"
#include "dialogkit/PanelMessage.h"

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

// Counts level readings; the status readings are dropped.
class LevelCounter : public QObject
{
public:
    int m_levels = 0;

protected:
    bool event(QEvent* event) override
    {
        const PanelMessage* message = AsPanelMessage(event);
        if (message == nullptr) {
            return QObject::event(event);
        }
        if (message->message() == WM_DEVICE_READING &&
            message->wParam() == static_cast<std::intptr_t>(ReadingKind::Level)) {
            ++m_levels;
        }
        return true;
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
        status.Start(&counter);
        level.Start(&counter);
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
            const auto asked = Clock::now();
            DeviceAccess lock(g_csDevice);
            waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
            IsOpen();  // an action's call, without a transaction of its own
        }
        QCoreApplication::sendPostedEvents(&counter);
        const int levels = counter.m_levels;
        level.Stop();
        status.Stop();
        figures.levelPerSecond = levels / seconds;
    }
    CloseComm();
    QCoreApplication::sendPostedEvents(&counter);
    figures.actions = static_cast<int>(waits.size());
    figures.longestWaitMs = Percentile(waits, 1.0);
    figures.medianWaitMs = Percentile(waits, 0.5);
    return figures;
}

}  // namespace perf
