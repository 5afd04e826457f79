#pragma once
// A background thread that runs one reading cycle every period until it is
// stopped. What a cycle reads is handed to the thread the poller lives on
// (its owner's) over a queued connection and emitted there, in the order it
// was read, so that listeners never run on the poller's thread. The core
// runs two: the level (ReadLevel, every 100 ms) and the status (ReadStatus,
// every 500 ms); Readings.h has both cycles.

#include "Readings.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class CDevicePoller : public QObject
{
    Q_OBJECT
public:
    // One cycle: reads and reports; runs on the poller's thread.
    using Cycle = void (*)(const ReadingReport& report);

    CDevicePoller(std::chrono::milliseconds period, Cycle cycle, QObject* parent = nullptr);
    ~CDevicePoller() override;

    // Starts the thread; nothing when it runs already.
    void Start();
    // Asks the thread to stop, ending its wait at once, and waits until it has
    // ended. Readings it handed over before may still be emitted afterwards.
    // Safe to call more than once.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    // Cycles completed since the start; a thread caught in an exchange stops
    // counting. Safe to read from any thread.
    std::uint64_t Cycles() const { return m_cycles.load(std::memory_order_relaxed); }

signals:
    // A reading, on the thread the poller lives on.
    void reading(ReadingKind kind, int value);

private:
    struct Reading {
        ReadingKind kind;
        int value;
    };
    void Run(std::stop_token stop);
    // Runs on the poller's thread: hands `reading` to the owner's thread.
    void HandOver(Reading reading);
    // Runs on the owner's thread: emits what was handed over, oldest first.
    // Invoked by name, so that everything of the queued call that crosses
    // the threads is made inside Qt (a thread checker sees it there as
    // Qt's own) and the readings themselves cross under m_pendingLock.
    Q_INVOKABLE void Deliver();

    const std::chrono::milliseconds m_period;
    const Cycle m_cycle;
    std::mutex m_waitLock;  // only for the wait between cycles
    std::condition_variable_any m_wake;
    // The readings handed over and not yet emitted. A plain lock, so that
    // thread checkers see the hand-over; Qt's own queue only carries the
    // wake-up.
    std::mutex m_pendingLock;
    std::vector<Reading> m_pending;
    std::atomic<std::uint64_t> m_cycles{0};
    std::jthread m_thread;
};
