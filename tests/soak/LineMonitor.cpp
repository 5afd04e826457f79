#include "LineMonitor.h"

#include "ProcessStats.h"

#include "core/DeviceAccess.h"

#include <algorithm>
#include <cstdio>

namespace soak {

namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(500);
constexpr std::size_t kBadFramesKept = 10;

std::string HexBytes(const FrameBytes& frame)
{
    std::string text;
    for (std::uint8_t byte : frame) {
        char hex[4];
        std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", byte);
        text += hex;
    }
    return text;
}

}  // namespace

void CMemoryTrend::Add(double elapsedSeconds, std::int64_t kb) { m_samples.push_back({elapsedSeconds, kb}); }

std::int64_t CMemoryTrend::PeakKb() const
{
    std::int64_t peak = 0;
    for (const Sample& s : m_samples) {
        peak = std::max(peak, s.kb);
    }
    return peak;
}

std::int64_t CMemoryTrend::GrowthKb() const
{
    const auto first =
        std::find_if(m_samples.begin(), m_samples.end(), [this](const Sample& s) { return s.seconds >= m_warmUpEnd; });
    if (first == m_samples.end()) {
        return 0;
    }
    std::int64_t highest = first->kb;
    for (auto it = first; it != m_samples.end(); ++it) {
        highest = std::max(highest, it->kb);
    }
    return highest - first->kb;
}

std::string CMemoryTrend::Trend(std::size_t points) const
{
    std::string text;
    if (m_samples.empty() || points == 0) {
        return text;
    }
    const std::size_t step = std::max<std::size_t>(1, m_samples.size() / points);
    for (std::size_t i = 0; i < m_samples.size(); i += step) {
        char entry[48];
        std::snprintf(entry, sizeof entry, "%s%.0fs %lld", text.empty() ? "" : ", ", m_samples[i].seconds,
                      static_cast<long long>(m_samples[i].kb));
        text += entry;
    }
    return text;
}

CLineMonitor::CLineMonitor(SimTransmitter& sim) : m_sim(sim), m_start(std::chrono::steady_clock::now()) {}

double CLineMonitor::Elapsed() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

CLineMonitor::~CLineMonitor() { Stop(); }

void CLineMonitor::Start()
{
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
}

void CLineMonitor::Stop()
{
    {
        std::lock_guard lock(m_stopMutex);
        m_stop = true;
    }
    m_stopSignal.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
        TakeFrames();
    }
}

void CLineMonitor::Run()
{
    std::unique_lock lock(m_stopMutex);
    auto nextSample = std::chrono::steady_clock::now();
    while (!m_stop) {
        lock.unlock();
        TakeFrames();
        if (std::chrono::steady_clock::now() >= nextSample) {
            SampleMemory();
            nextSample += std::chrono::seconds(1);
        }
        lock.lock();
        m_stopSignal.wait_for(lock, kLookEvery, [this] { return m_stop; });
    }
}

void CLineMonitor::TakeFrames()
{
    std::vector<SimTransmitter::Frame> frames;
    {
        // Every request is written under the device mutex and recorded before
        // its answer goes out, so while the lock is held no frame can arrive
        // between taking the list and clearing it.
        DeviceAccess device(g_csDevice);
        frames = m_sim.ReceivedFrames();
        m_sim.ClearReceived();
    }
    for (const SimTransmitter::Frame& frame : frames) {
        ++m_frames;
        ++m_byCommand[frame.size() > 2 ? CommandName(frame[2]) : std::string("(short)")];
        const std::string why = CheckRequestFrame(frame);
        if (!why.empty()) {
            ++m_badCount;
            if (m_bad.size() < kBadFramesKept) {
                m_bad.push_back(HexBytes(frame) + ": " + why);
            }
        }
    }
}

void CLineMonitor::SampleMemory()
{
    const double now = Elapsed();
    if (const auto kb = ResidentKb()) {
        m_memory.Add(now, *kb);
    }
    if (const auto kb = SanitizerHeapKb()) {
        m_heap.Add(now, *kb);
    }
}

}  // namespace soak
