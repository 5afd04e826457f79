#pragma once
// cpp-httplib's request threads, started as they are first needed rather
// than all at once: a site that never has more than a few clients keeps a
// few threads, not the 256 its busiest moment may need (each idle thread
// still holds its stack's pages). Threads stay once started, up to the cap;
// work beyond the cap waits in order, as in cpp-httplib's own pool.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace talvexd {

class CTaskPool final : public httplib::TaskQueue
{
public:
    explicit CTaskPool(std::size_t maxThreads) : m_max(maxThreads) {}
    ~CTaskPool() override { shutdown(); }
    CTaskPool(const CTaskPool&) = delete;
    CTaskPool& operator=(const CTaskPool&) = delete;

    void enqueue(std::function<void()> job) override;
    // Runs what is queued, then ends every thread. Safe to call twice.
    void shutdown() override;

private:
    void Work();

    const std::size_t m_max;
    mutable std::mutex m_lock;  // guards everything below
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;  // threads waiting for a job
    bool m_stopping = false;
};

}  // namespace talvexd
