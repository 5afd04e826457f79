#include "LinkFigures.h"

#include "PerfStats.h"

#include "core/DevicePoller.h"
#include "core/Readings.h"

#include <SimTransmitter.h>
#include <Talvex.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <vector>

namespace perf {

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kSettleMs = 50.0;
constexpr int kLevelReplyDelayMs = 20;
constexpr int kStatusWaitMs = 500;

// A simulated transmitter, switched on, with the library's port open on it
// for as long as it lives.
class OpenSimulator
{
public:
    OpenSimulator()
    {
        if (!m_sim.Start()) {
            return;
        }
        SimState state = m_sim.State();
        state.standby = false;
        m_sim.SetState(state);
        m_open =
            OpenCommPath(m_sim.DevicePath().c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr) != 0;
    }
    ~OpenSimulator()
    {
        CloseComm();
        m_sim.Stop();
    }
    OpenSimulator(const OpenSimulator&) = delete;
    OpenSimulator& operator=(const OpenSimulator&) = delete;

    bool IsOpen() const { return m_open; }

private:
    SimTransmitter m_sim;
    bool m_open = false;
};

// Notes the arrival of every temperature reading and ends `loop` once
// `wanted` have come.
class TemperatureClock : public QObject
{
public:
    TemperatureClock(QEventLoop& loop, std::size_t wanted) : m_loop(loop), m_wanted(wanted) { m_clock.start(); }

    const std::vector<double>& Stamps() const { return m_stamps; }

    // Receives the poller's readings on this thread, as the core does.
    void Listen(CDevicePoller& poller)
    {
        connect(&poller, &CDevicePoller::reading, this, [this](ReadingKind kind, int) {
            if (kind != ReadingKind::Temperature) {
                return;
            }
            m_stamps.push_back(static_cast<double>(m_clock.nsecsElapsed()) / 1e6);
            if (m_stamps.size() >= m_wanted) {
                m_loop.quit();
            }
        });
    }

private:
    QEventLoop& m_loop;
    std::size_t m_wanted;
    QElapsedTimer m_clock;
    std::vector<double> m_stamps;
};

}  // namespace

TransactionFigures MeasureTransactions(int count)
{
    TransactionFigures figures;
    figures.replyDelayMs = kLevelReplyDelayMs;
    OpenSimulator sim;
    if (!sim.IsOpen()) {
        return figures;
    }
    std::vector<double> beyond;
    for (int i = 0; i < count; ++i) {
        int level = 0;
        const auto start = Clock::now();
        const int ok = GetRtVol(&level, kLevelReplyDelayMs);
        const auto end = Clock::now();
        if (!ok) {
            return figures;
        }
        const double tookMs = std::chrono::duration<double, std::milli>(end - start).count();
        beyond.push_back(tookMs - kSettleMs - kLevelReplyDelayMs);
    }
    figures.samples = count;
    figures.medianMs = Percentile(beyond, 0.5);
    figures.p99Ms = Percentile(beyond, 0.99);
    return figures;
}

StatusCycleFigures MeasureStatusCycle(int cycles)
{
    StatusCycleFigures figures;
    OpenSimulator sim;
    if (!sim.IsOpen()) {
        return figures;
    }
    QEventLoop loop;
    TemperatureClock clock(loop, static_cast<std::size_t>(cycles) + 1);
    // A cycle of seven exchanges plus the wait takes about 1.55 s.
    QTimer::singleShot(std::chrono::milliseconds(3000 * (cycles + 2)), &loop, &QEventLoop::quit);
    {
        CDevicePoller poller(kStatusPeriod, ReadStatus);
        clock.Listen(poller);
        poller.Start();
        loop.exec();
        poller.Stop();
    }
    std::vector<double> gaps = Intervals(clock.Stamps());
    if (gaps.empty()) {
        return figures;
    }
    for (double& gap : gaps) {
        gap -= kStatusWaitMs;
    }
    figures.cycles = static_cast<int>(gaps.size());
    figures.medianMs = Percentile(gaps, 0.5);
    return figures;
}

}  // namespace perf
