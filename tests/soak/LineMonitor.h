#pragma once
// Watches the run from a thread of its own: takes the frames the simulated
// transmitter received, checks each against the command set, counts them by
// command, and samples the process's resident memory.

#include "FrameRules.h"

#include <SimTransmitter.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace soak {

// Resident-memory samples of a run and what they say about growth.
class CMemoryTrend
{
public:
    void Add(double elapsedSeconds, std::int64_t kb);
    // Growth is measured from the first sample at or after `seconds`.
    void SetWarmUpEnd(double seconds) { m_warmUpEnd = seconds; }

    std::int64_t PeakKb() const;
    // Largest sample after the warm-up minus the first one after it; 0 when
    // the run never got past the warm-up.
    std::int64_t GrowthKb() const;
    std::size_t Samples() const { return m_samples.size(); }
    // About `points` samples spread over the run: "0s 61234, 6s 62001, ...".
    std::string Trend(std::size_t points) const;

private:
    struct Sample {
        double seconds;
        std::int64_t kb;
    };
    std::vector<Sample> m_samples;
    double m_warmUpEnd = 0.0;
};

class CLineMonitor
{
public:
    explicit CLineMonitor(SimTransmitter& sim);
    ~CLineMonitor();
    CLineMonitor(const CLineMonitor&) = delete;
    CLineMonitor& operator=(const CLineMonitor&) = delete;

    void Start();
    // Ends the thread after one last look at the line.
    void Stop();

    // Valid for reading once stopped.
    const std::map<std::string, int>& FramesByCommand() const { return m_byCommand; }
    std::size_t FrameCount() const { return m_frames; }
    std::size_t BadFrameCount() const { return m_badCount; }
    // The first few bad frames, each with the reason.
    const std::vector<std::string>& BadFrames() const { return m_bad; }
    const CMemoryTrend& Memory() const { return m_memory; }
    // The sanitizer's count of the heap in use (sanitizer builds only).
    const CMemoryTrend& Heap() const { return m_heap; }
    // Seconds since the monitor was made.
    double Elapsed() const;
    // When growth starts to count, in seconds since the monitor was made.
    // Call once stopped.
    void SetWarmUpEnd(double seconds)
    {
        m_memory.SetWarmUpEnd(seconds);
        m_heap.SetWarmUpEnd(seconds);
    }

private:
    void Run();
    void TakeFrames();
    void SampleMemory();

    SimTransmitter& m_sim;
    const std::chrono::steady_clock::time_point m_start;

    std::map<std::string, int> m_byCommand;
    std::size_t m_frames = 0;
    std::size_t m_badCount = 0;
    std::vector<std::string> m_bad;
    CMemoryTrend m_memory;
    CMemoryTrend m_heap;

    std::mutex m_stopMutex;
    std::condition_variable m_stopSignal;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace soak
