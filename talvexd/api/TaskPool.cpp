#include "TaskPool.h"

namespace talvexd {

void CTaskPool::enqueue(std::function<void()> job)
{
    {
        std::lock_guard lock(m_lock);
        m_jobs.push_back(std::move(job));
        // A thread more only when every one is busy with a job of its own.
        if (!m_stopping && m_idle < m_jobs.size() && m_threads.size() < m_max)
            m_threads.emplace_back([this] { Work(); });
    }
    m_wake.notify_one();
}

void CTaskPool::shutdown()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
        threads.swap(m_threads);
    }
    m_wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void CTaskPool::Work()
{
    std::unique_lock lock(m_lock);
    for (;;) {
        ++m_idle;
        m_wake.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
        --m_idle;
        if (m_jobs.empty())
            return;  // stopping, and nothing is left to run
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace talvexd
