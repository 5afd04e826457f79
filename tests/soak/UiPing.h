#pragma once
// Proves the user-interface thread is alive: a monitor thread posts a ping to
// an object on that thread and expects it answered within a limit. Posted
// events are delivered by every event loop, nested ones included (a message
// box, a modal dialog), so a ping goes unanswered only while the thread is
// stuck outside any loop: blocked on a lock, in a long call, or spinning.

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace soak {

class CUiPing : public QObject
{
public:
    // Called on the monitor thread with the age of the unanswered ping.
    using StallHandler = std::function<void(std::chrono::milliseconds age)>;

    // Create on the user-interface thread.
    CUiPing(std::chrono::milliseconds limit, std::chrono::milliseconds period, StallHandler onStall);
    ~CUiPing() override;
    CUiPing(const CUiPing&) = delete;
    CUiPing& operator=(const CUiPing&) = delete;

    void Start();
    // Ends the monitor thread; safe to call more than once.
    void Stop();

    // Pings answered so far, and the longest it took to answer one.
    std::uint64_t Answered() const { return m_answered.load(); }
    std::chrono::milliseconds WorstLatency() const { return std::chrono::milliseconds(m_worstMs.load()); }

protected:
    void customEvent(QEvent* event) override;

private:
    void Monitor();

    const std::chrono::milliseconds m_limit;
    const std::chrono::milliseconds m_period;
    const StallHandler m_onStall;

    std::atomic<std::uint64_t> m_posted{0};
    std::atomic<std::uint64_t> m_answered{0};
    std::atomic<std::int64_t> m_postedAtMs{0};  // steady clock, of the newest ping
    std::atomic<std::int64_t> m_worstMs{0};

    std::mutex m_stopMutex;
    std::condition_variable m_stopSignal;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace soak
