#pragma once
// A background thread that runs one reading cycle every period until it is
// stopped, emitting each reading from that thread. Listeners connect with a
// queued connection and so receive the readings on their own thread. The
// core runs two: the level (ReadLevel, every 100 ms) and the status
// (ReadStatus, every 500 ms); Readings.h has both cycles.

#include "Readings.h"

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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
    // ended. Safe to call more than once.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

signals:
    // Emitted on the poller's thread.
    void reading(ReadingKind kind, int value);

private:
    void Run(std::stop_token stop);

    const std::chrono::milliseconds m_period;
    const Cycle m_cycle;
    std::mutex m_waitLock;  // only for the wait between cycles
    std::condition_variable_any m_wake;
    std::jthread m_thread;
};
